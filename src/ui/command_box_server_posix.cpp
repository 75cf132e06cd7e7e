#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include "app/command_box_client.h"
#include "command_box_server.h"

struct CommandBoxServer::Native {
  QLocalServer server;
};

CommandBoxServer::CommandBoxServer(QLineEdit* menuMsg, QWidget* window, QObject* parent)
    : QObject(parent), native_(std::make_unique<Native>()), menuMsg_(menuMsg), window_(window) {}

CommandBoxServer::~CommandBoxServer() = default;

bool CommandBoxServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = QStringLiteral("no private working folder");
    return false;
  }
  const QString path = QString::fromStdString(vintrel::CommandBoxSocketPath(workingFolder));
  {
    // A live socket belongs to another window of this user: leave it be. A dead one is a
    // leftover of a window that ended without cleaning up.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(300)) {
      error_ = QStringLiteral("another Vintrel window takes commands at ") + path;
      return false;
    }
  }
  QLocalServer::removeServer(path);
  native_->server.setSocketOptions(QLocalServer::UserAccessOption);
  if (!native_->server.listen(path)) {
    error_ = native_->server.errorString();
    return false;
  }
  connect(&native_->server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = native_->server.nextPendingConnection()) {
      auto pending = std::make_shared<QByteArray>();
      const auto readLines = [this, socket, pending] {
        pending->append(socket->readAll());
        for (qsizetype end = pending->indexOf('\n'); end >= 0; end = pending->indexOf('\n')) {
          QByteArray line = pending->left(end);
          pending->remove(0, end + 1);
          if (line.endsWith('\r')) line.chop(1);
          Receive(QString::fromUtf8(line));
        }
        if (pending->size() > static_cast<qsizetype>(vintrel::kCommandBoxMaxText)) socket->abort();
      };
      connect(socket, &QLocalSocket::readyRead, this, readLines);
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      readLines();
    }
  });
  return true;
}
