#include <sys/socket.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "app/launch_client.h"
#include "app/launch_message.h"
#include "launch_server.h"

namespace {

// The folder's 0700 is the first guard; the peer's own user id is the second.
bool PeerIsThisUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  const int fd = static_cast<int>(socket.socketDescriptor());
  return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
         peer.uid == ::getuid();
}

}  // namespace

struct LaunchServer::Native {
  QLocalServer server;
  QString path;
  // A failed accept (descriptors used up) closes a QLocalServer for good: listen again then.
  QTimer watch;
  int connections = 0;
};

LaunchServer::LaunchServer(QObject* parent) : QObject(parent), native_(std::make_unique<Native>()) {}

LaunchServer::~LaunchServer() = default;

bool LaunchServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = QStringLiteral("no private working folder");
    return false;
  }
  native_->path = QString::fromStdString(vintrel::LaunchSocketPath(workingFolder));
  if (!ListenAgain()) return false;
  connect(&native_->server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = native_->server.nextPendingConnection()) Serve(socket);
  });
  connect(&native_->watch, &QTimer::timeout, this, [this] {
    if (!native_->server.isListening()) ListenAgain();
  });
  native_->watch.start(1000);
  return true;
}

bool LaunchServer::listening() const {
  return native_->server.isListening();
}

bool LaunchServer::ListenAgain() {
  {
    // A live socket belongs to another window of this user; a dead one is a leftover.
    QLocalSocket probe;
    probe.connectToServer(native_->path);
    if (probe.waitForConnected(300)) {
      error_ = QStringLiteral("another Vintrel window takes launches at ") + native_->path;
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

void LaunchServer::Serve(QLocalSocket* socket) {
  if (native_->connections >= vintrel::kLaunchConnections || !PeerIsThisUser(*socket)) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++native_->connections;
  connect(socket, &QObject::destroyed, &native_->server, [this] { --native_->connections; });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // A launch writes its message at once; one that idles is let go.
  auto idle = std::make_shared<QTimer>();
  idle->setSingleShot(true);
  connect(idle.get(), &QTimer::timeout, socket, &QLocalSocket::abort);
  idle->start(vintrel::kLaunchTimeoutMs);

  auto pending = std::make_shared<QByteArray>();
  const auto read = [this, socket, pending, idle] {
    pending->append(socket->readAll());
    if (pending->size() < static_cast<qsizetype>(vintrel::kLaunchHeaderSize)) return;
    const auto length =
        vintrel::LaunchMessageLength(std::string_view(pending->constData(), vintrel::kLaunchHeaderSize));
    if (!length || pending->size() > static_cast<qsizetype>(*length)) {
      socket->abort();
      return;
    }
    if (pending->size() < static_cast<qsizetype>(*length)) return;
    auto files = vintrel::DecodeLaunchMessage(
        std::string_view(pending->constData(), static_cast<std::size_t>(pending->size())));
    pending->clear();
    idle->stop();
    if (!files) {
      socket->abort();
      return;
    }
    if (onFiles) onFiles(std::move(*files));
    socket->write(QByteArray(1, vintrel::kLaunchTaken));
    socket->disconnectFromServer();
  };
  connect(socket, &QLocalSocket::readyRead, this, read);
  read();
}
