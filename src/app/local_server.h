#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// POSIX only: the listening side of the window's local sockets (the command box, the launch
// hand-off), beside their senders in app/private_socket.h. No toolkit: a face wakes the server
// from its own event loop when one of Descriptors() is readable or the next deadline is due.
namespace vintrel {

// One peer of this user, as a server's protocol sees it.
class LocalPeer {
 public:
  LocalPeer(int fd, int idleMs, std::function<void(int fd)> beforeClose);
  ~LocalPeer();
  LocalPeer(const LocalPeer&) = delete;
  LocalPeer& operator=(const LocalPeer&) = delete;

  // The bytes read and not yet used up by the protocol.
  std::string& Pending() { return pending_; }
  // How many messages the protocol has taken from this peer.
  int taken = 0;
  // Best effort, never waiting: the answers are a few bytes.
  void Send(std::string_view bytes);
  // Lets the peer go at once.
  void Close();
  bool Open() const { return fd_ >= 0; }
  // Restarts the idle limit (the peer spoke), or lifts it (the peer waits for an answer).
  void StillIdleFor(int ms);
  void NoIdleLimit() { idleDeadlineMs_.reset(); }

 private:
  friend class LocalServer;
  int fd_;
  std::function<void(int fd)> beforeClose_;
  std::string pending_;
  std::optional<std::int64_t> idleDeadlineMs_;
  // In the protocol's hands: a nested Service() leaves it alone.
  bool busy_ = false;
};

// A local socket in the user's private working folder that only this user's programs reach. It
// leaves a live socket of another window alone, listens again when a failed accept closed it or
// a cleaner of the temporary folder removed its file, checks each peer's user and counts the
// peers it serves. Safe to re-enter: a protocol's callback may run an event loop that services
// the server again.
class LocalServer {
 public:
  // `purpose` completes "another Vintrel window takes ... at PATH"; a peer that stays silent for
  // `idleMs` is let go.
  LocalServer(std::string purpose, int limit, int idleMs);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // Starts listening at `path`. False when it cannot; ErrorText() says why, AnotherWindow()
  // whether a live socket of another window holds the path.
  bool Listen(const std::string& path);
  const std::string& ErrorText() const { return error_; }
  bool AnotherWindow() const { return anotherWindow_; }
  bool Listening() const { return listenFd_ >= 0; }

  // New bytes in the peer's Pending(); the peer may be closed from here.
  std::function<void(LocalPeer&)> onBytes;
  // A peer beyond the limit, told before it is closed; without it, closed at once.
  std::function<void(LocalPeer&)> refuse;

  // Told before a descriptor is closed, so the face stops watching it first.
  std::function<void(int fd)> onClosing;

  // What the face watches for reading.
  std::vector<int> Descriptors() const;
  // Milliseconds until Service() must run though nothing was readable; none when never.
  std::optional<std::int64_t> MsToNextDeadline() const;
  // Accepts, reads, lets idle peers go and listens again where needed; never waits.
  void Service();

  static std::int64_t ClockMs();

 private:
  bool ListenAgain();
  void CloseListener();
  void AcceptAll();
  void Accept(int fd);
  void ReadFrom(const std::shared_ptr<LocalPeer>& peer);
  void Closing(int fd);
  int OpenPeers() const;
  void DropClosedPeers();
  void Watch(std::int64_t now);

  std::string purpose_;
  int limit_;
  int idleMs_;
  std::string path_;
  std::string error_;
  bool anotherWindow_ = false;
  int listenFd_ = -1;
  std::optional<std::int64_t> watchAtMs_;
  // The socket file as bound, so only our own is ever removed.
  std::uint64_t fileInode_ = 0;
  std::vector<std::shared_ptr<LocalPeer>> peers_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vintrel
