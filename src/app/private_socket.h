#pragma once

// POSIX only, implemented in private_socket_posix.cpp: the sending side of the window's local
// sockets (the command box, the launch hand-off), which live in the user's private working folder.

#include <string>
#include <string_view>

namespace vintrel {

class SocketDescriptor {
 public:
  explicit SocketDescriptor(int fd = -1) : fd_(fd) {}
  ~SocketDescriptor();
  SocketDescriptor(SocketDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  SocketDescriptor& operator=(SocketDescriptor&&) = delete;
  SocketDescriptor(const SocketDescriptor&) = delete;
  SocketDescriptor& operator=(const SocketDescriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

enum class SocketFailure {
  None,
  NoFolder,    // the working folder does not exist
  NotPrivate,  // it is not a folder of this user alone: nothing there is trusted
  PathTooLong,
  NoSocket,      // socket() or its time limits failed
  NotListening,  // no socket file, or nobody accepts on it
  NoAnswer,      // the time limit ran out
  Unreachable,
};

struct PrivateConnection {
  SocketDescriptor socket;
  SocketFailure failure = SocketFailure::None;
  std::string detail;  // the system's reason, where it gave one
};

// Connects to `path` in `folder`. Sending and receiving on the connection wait at most
// `timeoutMs` each; so does the connect, when the window has stopped accepting.
PrivateConnection ConnectPrivateSocket(const std::string& folder, const std::string& path, int timeoutMs);
// Sends every byte; false with errno set when it could not (EAGAIN: the time limit ran out).
bool SendAll(int fd, std::string_view bytes);

}  // namespace vintrel
