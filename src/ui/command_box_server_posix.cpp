#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "app/command_box_client.h"
#include "command_box_server.h"

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

struct CommandBoxServer::Native {
  QLocalServer server;
  QString path;
  // Checks now and then that the socket still listens: a failed accept (descriptors used up)
  // closes a QLocalServer for good.
  QTimer watch;
  int connections = 0;
};

CommandBoxServer::CommandBoxServer(QLineEdit* menuMsg, QWidget* window, QObject* parent)
    : QObject(parent), native_(std::make_unique<Native>()), menuMsg_(menuMsg), window_(window) {}

CommandBoxServer::~CommandBoxServer() = default;

bool CommandBoxServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = QStringLiteral("no private working folder");
    return false;
  }
  native_->path = QString::fromStdString(vintrel::CommandBoxSocketPath(workingFolder));
  if (!ListenAgain()) return false;
  connect(&native_->server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = native_->server.nextPendingConnection()) Serve(socket);
  });
  connect(&native_->watch, &QTimer::timeout, this, [this] {
    // A cleaner of the temporary folder may remove the socket's file: the server then listens
    // where nobody can reach it.
    struct stat info {};
    const QByteArray path = native_->path.toLocal8Bit();
    if (native_->server.isListening() && ::lstat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode))
      return;
    native_->server.close();
    ListenAgain();
  });
  native_->watch.start(1000);
  return true;
}

bool CommandBoxServer::ListenAgain() {
  {
    // A live socket belongs to another window of this user: leave it be. A dead one is a
    // leftover of a window that ended without cleaning up.
    QLocalSocket probe;
    probe.connectToServer(native_->path);
    if (probe.waitForConnected(300)) {
      error_ = QStringLiteral("another Vintrel window takes commands at ") + native_->path;
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

void CommandBoxServer::Serve(QLocalSocket* socket) {
  if (!PeerIsThisUser(*socket)) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  if (native_->connections >= vintrel::kCommandBoxConnections) {
    // Said, so the sender does not take a dropped text for a delivered one.
    socket->write(QByteArray::fromStdString(std::string(vintrel::kCommandBoxBusyAnswer) + "\n"));
    socket->flush();
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++native_->connections;
  // In the server's context: when the server goes, its sockets go without counting down.
  connect(socket, &QObject::destroyed, &native_->server, [this] { --native_->connections; });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // A sender has a couple of seconds for each line; one that idles is let go.
  auto idle = std::make_shared<QTimer>();
  idle->setSingleShot(true);
  connect(idle.get(), &QTimer::timeout, socket, &QLocalSocket::abort);
  idle->start(vintrel::kCommandBoxIdleMs);

  auto pending = std::make_shared<QByteArray>();
  auto lines = std::make_shared<int>(0);
  const auto readLines = [this, socket, pending, lines, idle] {
    pending->append(socket->readAll());
    for (qsizetype end = pending->indexOf('\n'); end >= 0; end = pending->indexOf('\n')) {
      QByteArray line = pending->left(end);
      pending->remove(0, end + 1);
      if (++*lines > vintrel::kCommandBoxLinesPerConnection) {
        socket->abort();
        return;
      }
      if (line.endsWith('\r')) line.chop(1);
      idle->start(vintrel::kCommandBoxIdleMs);
      Receive(QString::fromUtf8(line));
      socket->write(QByteArray::fromStdString(std::string(vintrel::kCommandBoxTakenAnswer) + "\n"));
      socket->flush();
    }
    if (pending->size() > static_cast<qsizetype>(vintrel::kCommandBoxMaxText)) socket->abort();
  };
  connect(socket, &QLocalSocket::readyRead, this, readLines);
  readLines();
}
