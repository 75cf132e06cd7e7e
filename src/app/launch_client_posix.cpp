#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/launch_client.h"
#include "app/launch_message.h"
#include "app/platform.h"

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

HandOffResult NoWindow(std::string why) {
  return {HandOff::NoWindow, std::move(why)};
}

HandOffResult Failed(std::string why) {
  return {HandOff::Failed, std::move(why)};
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

}  // namespace

std::string LaunchSocketPath(const std::string& workingFolder) {
  return JoinPath(workingFolder, std::string(kLaunchSocketName));
}

HandOffResult HandToRunningWindow(const std::string& workingFolder, const std::vector<std::string>& files,
                                  int timeoutMs) {
  const auto message = EncodeLaunchMessage(files);
  if (!message) return Failed("a file name cannot be handed to the running window");
  const std::string path = LaunchSocketPath(workingFolder);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return NoWindow("the socket path is too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  // Only a folder of this user that nobody else can write to holds a window worth trusting.
  struct stat info {};
  if (::lstat(workingFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return NoWindow("no private folder " + workingFolder);

  const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.get() < 0) return NoWindow(std::string("cannot create a socket: ") + std::strerror(errno));
  timeval limit{timeoutMs / 1000, static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
  if (::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
      ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
    return NoWindow(std::string("cannot set a time limit: ") + std::strerror(errno));
  int result;
  do {
    result = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  const std::string noAnswer = "the running Vintrel window does not answer (waited " +
                               std::to_string(timeoutMs) + " ms at " + path + ")";
  if (result != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) return NoWindow("nothing listens at " + path);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) return Failed(noAnswer);
    return Failed("cannot reach " + path + ": " + std::strerror(errno));
  }
  if (!SendAll(socket.get(), *message)) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Failed(noAnswer);
    return Failed(std::string("sending the files failed: ") + std::strerror(errno));
  }
  char answer = 0;
  ssize_t got;
  do {
    got = ::recv(socket.get(), &answer, 1, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 1 && answer == kLaunchTaken) return {HandOff::Taken, {}};
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Failed(noAnswer);
  return Failed("the running Vintrel window did not take the files");
}

}  // namespace vintrel
