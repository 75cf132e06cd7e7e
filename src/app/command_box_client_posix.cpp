#include <errno.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "app/command_box_client.h"
#include "app/private_socket.h"

namespace vintrel {
namespace {

// The window's one-line answer without its line feed; empty when none came (errno says why,
// 0 when the window closed the connection).
std::string ReadAnswer(int fd) {
  std::string answer;
  char c = 0;
  for (;;) {
    const ssize_t got = ::recv(fd, &c, 1, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) errno = 0;
    if (got <= 0) return {};
    if (c == '\n') return answer;
    if (answer.size() >= 64) return {};
    answer += c;
  }
}

std::string NoAnswer(const std::string& path, int timeoutMs) {
  return "the Vintrel window does not answer (waited " + std::to_string(timeoutMs) + " ms at " + path + ")";
}

}  // namespace

std::string SendCommandBoxText(const std::string& workingFolder, std::string_view text, int timeoutMs) {
  if (std::string problem = CommandBoxTextProblem(text); !problem.empty()) return problem;
  const std::string path = CommandBoxSocketPath(workingFolder);
  const PrivateConnection connection = ConnectPrivateSocket(workingFolder, path, timeoutMs);
  switch (connection.failure) {
    case SocketFailure::None: break;
    case SocketFailure::NoFolder: return "no Vintrel window is running (no folder " + workingFolder + ")";
    case SocketFailure::NotPrivate: return workingFolder + " is not a folder of this user alone; not sending there";
    case SocketFailure::PathTooLong: return "the socket path is too long: " + path;
    case SocketFailure::NoSocket: return connection.detail;
    case SocketFailure::NotListening: return "no Vintrel window is running (nothing listens at " + path + ")";
    case SocketFailure::NoAnswer: return NoAnswer(path, timeoutMs);
    case SocketFailure::Unreachable: return "cannot reach " + path + ": " + connection.detail;
  }
  const int socket = connection.socket.Get();
  std::string line(text);
  line += '\n';
  const bool sent = SendAll(socket, line);
  const int sendError = errno;
  if (!sent && (sendError == EAGAIN || sendError == EWOULDBLOCK)) return NoAnswer(path, timeoutMs);
  // The window answers each line it takes; one at its limit of senders says so and closes.
  const std::string answer = ReadAnswer(socket);
  if (answer == kCommandBoxBusyAnswer) return "the Vintrel window is busy";
  if (!sent) return std::string("sending failed: ") + std::strerror(sendError);
  if (answer == kCommandBoxTakenAnswer) return {};
  if (errno == EAGAIN || errno == EWOULDBLOCK) return NoAnswer(path, timeoutMs);
  return "the Vintrel window did not take the text";
}

}  // namespace vintrel
