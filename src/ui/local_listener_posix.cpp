#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <utility>

#include "local_listener.h"

namespace {

// The folder's 0700 is the first guard; the peer's own user id is the second.
bool PeerIsThisUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  const int fd = static_cast<int>(socket.socketDescriptor());
  return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
         peer.uid == ::getuid();
}

bool SocketFileExists(const QString& path) {
  struct stat info {};
  const QByteArray local = path.toLocal8Bit();
  return ::lstat(local.constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

struct LocalListener::Native {
  QLocalServer server;
  QString path;
  QTimer watch;
  int connections = 0;
};

LocalListener::LocalListener(QString purpose, int limit, QObject* parent)
    : QObject(parent), native_(std::make_unique<Native>()), purpose_(std::move(purpose)), limit_(limit) {}

LocalListener::~LocalListener() = default;

bool LocalListener::Listen(const QString& path) {
  native_->path = path;
  if (!ListenAgain()) return false;
  connect(&native_->server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = native_->server.nextPendingConnection()) Accept(socket);
  });
  // A failed accept (descriptors used up) closes a QLocalServer for good, and a removed socket
  // file leaves it listening where nobody can reach it.
  connect(&native_->watch, &QTimer::timeout, this, [this] {
    if (native_->server.isListening() && SocketFileExists(native_->path)) return;
    native_->server.close();
    ListenAgain();
  });
  native_->watch.start(1000);
  return true;
}

bool LocalListener::listening() const {
  return native_->server.isListening();
}

bool LocalListener::ListenAgain() {
  {
    // A live socket belongs to another window of this user: leave it be. A dead one is a
    // leftover of a window that ended without cleaning up.
    QLocalSocket probe;
    probe.connectToServer(native_->path);
    if (probe.waitForConnected(300)) {
      error_ = QStringLiteral("another Vintrel window takes %1 at %2").arg(purpose_, native_->path);
      anotherWindow_ = true;
      native_->watch.stop();
      return false;
    }
  }
  QLocalServer::removeServer(native_->path);
  native_->server.setSocketOptions(QLocalServer::UserAccessOption);
  if (native_->server.listen(native_->path)) return true;
  error_ = native_->server.errorString();
  return false;
}

void LocalListener::Accept(QLocalSocket* socket) {
  const bool ours = PeerIsThisUser(*socket);
  if (!ours || native_->connections >= limit_) {
    if (ours && refuse) refuse(socket);
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++native_->connections;
  // In the server's context: when the server goes, its sockets go without counting down.
  connect(socket, &QObject::destroyed, &native_->server, [this] { --native_->connections; });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  if (serve) serve(socket);
}

std::shared_ptr<QTimer> LocalListener::IdleTimer(QLocalSocket* socket, int ms) {
  auto idle = std::make_shared<QTimer>();
  idle->setSingleShot(true);
  QObject::connect(idle.get(), &QTimer::timeout, socket, &QLocalSocket::abort);
  idle->start(ms);
  return idle;
}
