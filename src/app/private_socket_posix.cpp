#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "app/private_socket.h"

namespace vintrel {
namespace {

PrivateConnection Failure(SocketFailure failure, std::string detail = {}) {
  PrivateConnection connection;
  connection.failure = failure;
  connection.detail = std::move(detail);
  return connection;
}

}  // namespace

SocketDescriptor::~SocketDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

PrivateConnection ConnectPrivateSocket(const std::string& folder, const std::string& path, int timeoutMs) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return Failure(SocketFailure::PathTooLong);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  // Only a folder of this user that nobody else can write to holds a socket worth trusting.
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return Failure(SocketFailure::NoFolder);
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return Failure(SocketFailure::NotPrivate);

  PrivateConnection connection{SocketDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)), SocketFailure::None, {}};
  const int fd = connection.socket.Get();
  if (fd < 0) return Failure(SocketFailure::NoSocket, std::string("cannot create a socket: ") + std::strerror(errno));
  // A stopped or hung window stops accepting: connecting to a local socket then waits for room
  // in its backlog, and this bounds that wait (and the send's and the answer's).
  const timeval limit{timeoutMs / 1000, static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
  if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0)
    return Failure(SocketFailure::NoSocket, std::string("cannot set a time limit: ") + std::strerror(errno));
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return connection;
  if (errno == ENOENT || errno == ECONNREFUSED) return Failure(SocketFailure::NotListening);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) return Failure(SocketFailure::NoAnswer);
  return Failure(SocketFailure::Unreachable, std::strerror(errno));
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

}  // namespace vintrel
