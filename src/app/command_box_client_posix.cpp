#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/command_box_client.h"

namespace vintrel {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Only a folder of this user that nobody else can write to holds a socket worth trusting.
std::string FolderProblem(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return "no Vintrel window is running (no folder " + folder + ")";
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return folder + " is not a folder of this user alone; not sending there";
  }
  return {};
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

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
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return "the socket path is too long: " + path;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (std::string problem = FolderProblem(workingFolder); !problem.empty()) return problem;

  const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return std::string("cannot create a socket: ") + std::strerror(errno);
  // A stopped or hung window stops accepting: connecting to a local socket then waits for room
  // in its backlog, and this bounds that wait (and the send's).
  timeval limit{timeoutMs / 1000, static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
  if (::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0)
    return std::string("cannot set a time limit: ") + std::strerror(errno);
  int result;
  do {
    result = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED)
      return "no Vintrel window is running (nothing listens at " + path + ")";
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) return NoAnswer(path, timeoutMs);
    return "cannot reach " + path + ": " + std::strerror(errno);
  }
  std::string line(text);
  line += '\n';
  const bool sent = SendAll(socket.get(), line);
  const int sendError = errno;
  if (!sent && (sendError == EAGAIN || sendError == EWOULDBLOCK)) return NoAnswer(path, timeoutMs);
  // The window answers each line it takes; one at its limit of senders says so and closes.
  if (::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
    return std::string("cannot set a time limit: ") + std::strerror(errno);
  const std::string answer = ReadAnswer(socket.get());
  if (answer == kCommandBoxBusyAnswer) return "the Vintrel window is busy";
  if (!sent) return std::string("sending failed: ") + std::strerror(sendError);
  if (answer == kCommandBoxTakenAnswer) return {};
  if (errno == EAGAIN || errno == EWOULDBLOCK) return NoAnswer(path, timeoutMs);
  return "the Vintrel window did not take the text";
}

}  // namespace vintrel
