#include <string>

#include "app/command_box_client.h"
#include "app/command_box_server.h"

namespace vintrel {

CommandBoxServer::CommandBoxServer() : server_("commands", kCommandBoxConnections, kCommandBoxIdleMs) {
  server_.onBytes = [this](LocalPeer& peer) { Read(peer); };
  // Said, so the sender does not take a dropped text for a delivered one.
  server_.refuse = [](LocalPeer& peer) { peer.Send(std::string(kCommandBoxBusyAnswer) + "\n"); };
}

bool CommandBoxServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = "no private working folder";
    return false;
  }
  if (server_.Listen(CommandBoxSocketPath(workingFolder))) return true;
  error_ = server_.ErrorText();
  return false;
}

void CommandBoxServer::Read(LocalPeer& peer) {
  std::string& pending = peer.Pending();
  for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
    std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    if (++peer.taken > kCommandBoxLinesPerConnection) {
      peer.Close();
      return;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // However the bytes came, in pieces or many lines in one write, a line past the limit is no
    // command: the sender is let go with nothing applied.
    if (line.size() > kCommandBoxMaxText) {
      peer.Close();
      return;
    }
    // A sender has a couple of seconds for each line; one that idles is let go.
    peer.StillIdleFor(kCommandBoxIdleMs);
    if (onText) onText(std::move(line));
    peer.Send(std::string(kCommandBoxTakenAnswer) + "\n");
  }
  // Room for the longest line and its "\r".
  if (pending.size() > kCommandBoxMaxText + 1) peer.Close();
}

}  // namespace vintrel
