#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/local_server.h"

namespace vintrel {

// POSIX: takes the files of later launches of the program (app/launch_client.h) for the running
// window, on a socket beside the command box's. A launch is answered once onFiles has taken its
// files; one read past its deadline, or whose files onFiles refuses, is closed unanswered, and
// one beyond the limit of launches at once is told the window is busy.
class LaunchServer {
 public:
  LaunchServer();

  // Starts listening in `workingFolder`. False when it cannot; ErrorText() says why, and
  // AnotherWindow() whether a window of this user already listens there.
  bool Listen(const std::string& workingFolder);
  const std::string& ErrorText() const { return error_; }
  bool AnotherWindow() const { return server_.AnotherWindow(); }
  bool Listening() const { return server_.Listening(); }
  // What the face wakes from its event loop.
  LocalServer& Sockets() { return server_; }

  // Called inside Service(); true when the files were taken.
  std::function<bool(std::vector<std::string> files)> onFiles;

 private:
  void Read(LocalPeer& peer);

  LocalServer server_;
  std::string error_;
};

}  // namespace vintrel
