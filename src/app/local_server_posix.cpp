#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "app/local_server.h"

namespace vintrel {
namespace {

// How often the server makes sure its socket file is still there and still its own.
constexpr int kWatchMs = 1000;
// How long a live socket of another window has to answer before the path counts as free.
constexpr int kProbeMs = 300;
// Read per wake from one peer at most, so a flooding peer cannot hold the window.
constexpr int kChunksPerWake = 16;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// The folder's 0700 is the first guard; the peer's own user id is the second.
bool PeerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
         peer.uid == ::getuid();
}

std::uint64_t SocketFileInode(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return 0;
  return static_cast<std::uint64_t>(info.st_ino);
}

// Whether something accepts at `path` within kProbeMs.
bool SomebodyListens(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const timeval limit{0, kProbeMs * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  ::close(fd);
  return result == 0;
}

}  // namespace

LocalPeer::LocalPeer(int fd, int idleMs, std::function<void(int fd)> beforeClose)
    : fd_(fd), beforeClose_(std::move(beforeClose)) {
  StillIdleFor(idleMs);
}

LocalPeer::~LocalPeer() {
  Close();
}

void LocalPeer::Send(std::string_view bytes) {
  while (Open() && !bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void LocalPeer::Close() {
  if (fd_ < 0) return;
  if (beforeClose_) beforeClose_(fd_);
  ::close(fd_);
  fd_ = -1;
}

void LocalPeer::StillIdleFor(int ms) {
  idleDeadlineMs_ = LocalServer::ClockMs() + ms;
}

LocalServer::LocalServer(std::string purpose, int limit, int idleMs)
    : purpose_(std::move(purpose)), limit_(limit), idleMs_(idleMs) {}

LocalServer::~LocalServer() {
  *alive_ = false;
  onClosing = nullptr;
  for (const auto& peer : peers_) peer->Close();
  CloseListener();
}

std::int64_t LocalServer::ClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool LocalServer::Listen(const std::string& path) {
  path_ = path;
  if (!ListenAgain()) return false;
  watchAtMs_ = ClockMs() + kWatchMs;
  return true;
}

bool LocalServer::ListenAgain() {
  // A live socket belongs to another window of this user: leave it be. A dead one is a leftover
  // of a window that ended without cleaning up.
  if (SomebodyListens(path_)) {
    error_ = "another Vintrel window takes " + purpose_ + " at " + path_;
    anotherWindow_ = true;
    watchAtMs_.reset();
    return false;
  }
  sockaddr_un address;
  if (!MakeAddress(path_, address)) {
    error_ = "the socket path is too long: " + path_;
    return false;
  }
  ::unlink(path_.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error_ = std::string("cannot create a socket: ") + std::strerror(errno);
    return false;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path_.c_str(), S_IRWXU) != 0 || ::listen(fd, 50) != 0) {
    error_ = "cannot listen at " + path_ + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  fileInode_ = SocketFileInode(path_);
  return true;
}

void LocalServer::CloseListener() {
  if (listenFd_ < 0) return;
  Closing(listenFd_);
  ::close(listenFd_);
  listenFd_ = -1;
  if (fileInode_ != 0 && SocketFileInode(path_) == fileInode_) ::unlink(path_.c_str());
  fileInode_ = 0;
}

void LocalServer::Closing(int fd) {
  if (onClosing) onClosing(fd);
}

int LocalServer::OpenPeers() const {
  return static_cast<int>(
      std::count_if(peers_.begin(), peers_.end(), [](const auto& peer) { return peer->Open(); }));
}

std::vector<int> LocalServer::Descriptors() const {
  std::vector<int> fds;
  if (listenFd_ >= 0) fds.push_back(listenFd_);
  for (const auto& peer : peers_) {
    if (peer->Open() && !peer->busy_) fds.push_back(peer->fd_);
  }
  return fds;
}

std::optional<std::int64_t> LocalServer::MsToNextDeadline() const {
  std::optional<std::int64_t> next = watchAtMs_;
  for (const auto& peer : peers_) {
    if (!peer->Open() || peer->busy_ || !peer->idleDeadlineMs_) continue;
    if (!next || *peer->idleDeadlineMs_ < *next) next = peer->idleDeadlineMs_;
  }
  if (!next) return std::nullopt;
  return std::max<std::int64_t>(*next - ClockMs(), 0);
}

void LocalServer::Service() {
  const std::shared_ptr<bool> alive = alive_;
  const std::int64_t now = ClockMs();
  for (const auto& peer : peers_) {
    if (peer->Open() && !peer->busy_ && peer->idleDeadlineMs_ && now >= *peer->idleDeadlineMs_) peer->Close();
  }
  DropClosedPeers();
  Watch(now);

  // Decided before any callback runs, on a copy: a nested Service may change the list.
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<LocalPeer>> readable;
  if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
  for (const auto& peer : peers_) {
    if (peer->Open() && !peer->busy_) fds.push_back({peer->fd_, POLLIN, 0});
  }
  if (fds.empty() || ::poll(fds.data(), fds.size(), 0) <= 0) return;
  bool accept = false;
  for (const pollfd& entry : fds) {
    if (entry.revents == 0) continue;
    if (entry.fd == listenFd_) {
      accept = true;
      continue;
    }
    for (const auto& peer : peers_) {
      if (peer->fd_ == entry.fd) readable.push_back(peer);
    }
  }
  for (const auto& peer : readable) {
    ReadFrom(peer);
    if (!*alive) return;
  }
  if (accept) AcceptAll();
  if (*alive) DropClosedPeers();
}

void LocalServer::Watch(std::int64_t now) {
  if (!watchAtMs_ || now < *watchAtMs_) return;
  watchAtMs_ = now + kWatchMs;
  // A failed accept closed the listener, or a cleaner of the temporary folder removed its file
  // and left it listening where nobody can reach it.
  if (Listening() && SocketFileInode(path_) == fileInode_) return;
  CloseListener();
  ListenAgain();
}

void LocalServer::AcceptAll() {
  const std::shared_ptr<bool> alive = alive_;
  while (listenFd_ >= 0) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Accept(fd);
      if (!*alive) return;
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;
    // Descriptors used up, or worse: closed until the watch listens again, so the listener does
    // not wake the window for ever.
    CloseListener();
  }
}

void LocalServer::Accept(int fd) {
  const bool ours = PeerIsThisUser(fd);
  if (!ours || OpenPeers() >= limit_) {
    LocalPeer refused(fd, 0, {});
    if (ours && refuse) refuse(refused);
    return;
  }
  auto peer = std::make_shared<LocalPeer>(fd, idleMs_, [this, alive = alive_](int closing) {
    if (*alive) Closing(closing);
  });
  peers_.push_back(peer);
  ReadFrom(peer);
}

void LocalServer::ReadFrom(const std::shared_ptr<LocalPeer>& peer) {
  const std::shared_ptr<bool> alive = alive_;
  char buffer[65536];
  for (int chunk = 0; chunk < kChunksPerWake && peer->Open() && !peer->busy_; ++chunk) {
    const ssize_t got = ::recv(peer->fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) {
      peer->Close();
      return;
    }
    peer->pending_.append(buffer, static_cast<std::size_t>(got));
    if (!onBytes) continue;
    peer->busy_ = true;
    onBytes(*peer);
    if (!*alive) return;
    peer->busy_ = false;
  }
}

void LocalServer::DropClosedPeers() {
  std::erase_if(peers_, [](const auto& peer) { return !peer->Open() && !peer->busy_; });
}

}  // namespace vintrel
