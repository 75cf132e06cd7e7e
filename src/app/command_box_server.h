#pragma once

#include <functional>
#include <string>

#include "app/local_server.h"

namespace vintrel {

// POSIX: the window's end of the command box's socket (app/command_box_client.h), one text per
// line. Each line taken is answered at once; the text itself is handed on to onText.
class CommandBoxServer {
 public:
  CommandBoxServer();

  // Starts taking texts in `workingFolder`. False when the box cannot be offered; ErrorText()
  // says why.
  bool Listen(const std::string& workingFolder);
  const std::string& ErrorText() const { return error_; }
  // What the face wakes from its event loop.
  LocalServer& Sockets() { return server_; }

  // A taken text, called inside Service(). The face applies it later, from its event loop: an
  // action may run a whole batch, and the socket must be free meanwhile.
  std::function<void(std::string text)> onText;

 private:
  void Read(LocalPeer& peer);

  LocalServer server_;
  std::string error_;
};

}  // namespace vintrel
