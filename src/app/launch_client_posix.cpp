#include <errno.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/launch_client.h"
#include "app/launch_message.h"
#include "app/platform.h"
#include "app/private_socket.h"

namespace vintrel {
namespace {

HandOffResult NoWindow(std::string why) {
  return {HandOff::NoWindow, std::move(why)};
}

HandOffResult Failed(std::string why) {
  return {HandOff::Failed, std::move(why)};
}

// Waits for the answer until a little past the deadline, so an answer the window gave in time
// arrives before this launch gives up.
bool WaitForAnswerUntil(int socket, std::int64_t deadlineMs) {
  const std::int64_t left = std::max<std::int64_t>(deadlineMs + kLaunchAnswerGraceMs - LaunchClockMs(), 1);
  const timeval limit{static_cast<time_t>(left / 1000), static_cast<suseconds_t>(left % 1000) * 1000};
  return ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

}  // namespace

std::string LaunchSocketPath(const std::string& workingFolder) {
  return JoinPath(workingFolder, std::string(kLaunchSocketName));
}

HandOffResult HandToRunningWindow(const std::string& workingFolder, const std::vector<std::string>& files,
                                  int timeoutMs) {
  const std::int64_t deadline = LaunchClockMs() + timeoutMs;
  const auto message = EncodeLaunchMessage(files, deadline);
  if (!message) return Failed("a file name cannot be handed to the running window");
  const std::string path = LaunchSocketPath(workingFolder);
  const std::string noAnswer = "the running Vintrel window does not answer (waited " +
                               std::to_string(timeoutMs) + " ms at " + path + ")";
  const std::string busy(kLaunchBusyText);
  const PrivateConnection connection = ConnectPrivateSocket(workingFolder, path, timeoutMs);
  switch (connection.failure) {
    case SocketFailure::None:
      break;
    case SocketFailure::NoFolder:
    case SocketFailure::NotPrivate:
      return NoWindow("no private folder " + workingFolder);
    case SocketFailure::PathTooLong:
      return NoWindow("the socket path is too long: " + path);
    case SocketFailure::NoSocket:
      return NoWindow(connection.detail);
    case SocketFailure::NotListening:
      return NoWindow("nothing listens at " + path);
    case SocketFailure::NoAnswer:
      return Failed(noAnswer);
    case SocketFailure::Unreachable:
      return Failed("cannot reach " + path + ": " + connection.detail);
  }
  const int socket = connection.socket.Get();
  if (!SendAll(socket, *message)) {
    const int sendError = errno;
    // A window at its limit of launches says so and closes before reading.
    char answer = 0;
    if (::recv(socket, &answer, 1, MSG_DONTWAIT) == 1 && answer == kLaunchBusy) return Failed(busy);
    if (sendError == EAGAIN || sendError == EWOULDBLOCK) return Failed(noAnswer);
    return Failed(std::string("sending the files failed: ") + std::strerror(sendError));
  }
  if (!WaitForAnswerUntil(socket, deadline))
    return Failed(std::string("cannot wait for the window: ") + std::strerror(errno));
  char answer = 0;
  ssize_t got;
  do {
    got = ::recv(socket, &answer, 1, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 1 && answer == kLaunchTaken) return {HandOff::Taken, {}};
  if (got == 1 && answer == kLaunchBusy) return Failed(busy);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Failed(noAnswer);
  return Failed("the running Vintrel window did not take the files");
}

}  // namespace vintrel
