#include <string>
#include <string_view>
#include <utility>

#include "app/launch_client.h"
#include "app/launch_message.h"
#include "app/launch_server.h"

namespace vintrel {

// A launch writes its message at once; one that idles is let go.
LaunchServer::LaunchServer() : server_("launches", kLaunchConnections, kLaunchTimeoutMs) {
  server_.onBytes = [this](LocalPeer& peer) { Read(peer); };
  server_.refuse = [](LocalPeer& peer) { peer.Send(std::string(1, kLaunchBusy)); };
}

bool LaunchServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = "no private working folder";
    return false;
  }
  if (server_.Listen(LaunchSocketPath(workingFolder))) return true;
  error_ = server_.ErrorText();
  return false;
}

void LaunchServer::Read(LocalPeer& peer) {
  std::string& pending = peer.Pending();
  if (pending.size() < kLaunchHeaderSize) return;
  const auto length = LaunchMessageLength(std::string_view(pending).substr(0, kLaunchHeaderSize));
  if (!length || pending.size() > *length) {
    peer.Close();
    return;
  }
  if (pending.size() < *length) return;
  auto message = DecodeLaunchMessage(pending);
  pending.clear();
  peer.NoIdleLimit();
  // A window that was stopped reads the message of a launch that has given up and said so.
  if (!message || message->LateAt(LaunchClockMs()) || !onFiles || !onFiles(std::move(message->files))) {
    peer.Close();
    return;
  }
  peer.Send(std::string(1, kLaunchTaken));
  peer.Close();
}

}  // namespace vintrel
