#include <QLineEdit>
#include <QLocalSocket>
#include <QTimer>
#include <memory>
#include <string>

#include "app/command_box_client.h"
#include "command_box_server.h"
#include "local_listener.h"

struct CommandBoxServer::Native {
  LocalListener listener{QStringLiteral("commands"), vintrel::kCommandBoxConnections};
};

CommandBoxServer::CommandBoxServer(QLineEdit* menuMsg, QWidget* window, QObject* parent)
    : QObject(parent), native_(std::make_unique<Native>()), menuMsg_(menuMsg), window_(window) {}

CommandBoxServer::~CommandBoxServer() = default;

bool CommandBoxServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = QStringLiteral("no private working folder");
    return false;
  }
  LocalListener& listener = native_->listener;
  listener.serve = [this](QLocalSocket* socket) { Serve(socket); };
  // Said, so the sender does not take a dropped text for a delivered one.
  listener.refuse = [](QLocalSocket* socket) {
    socket->write(QByteArray::fromStdString(std::string(vintrel::kCommandBoxBusyAnswer) + "\n"));
    socket->flush();
  };
  if (listener.Listen(QString::fromStdString(vintrel::CommandBoxSocketPath(workingFolder)))) return true;
  error_ = listener.errorText();
  return false;
}

void CommandBoxServer::Serve(QLocalSocket* socket) {
  // A sender has a couple of seconds for each line; one that idles is let go.
  auto idle = LocalListener::IdleTimer(socket, vintrel::kCommandBoxIdleMs);

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
      // However the bytes came, in pieces or many lines in one write, a line past the limit is
      // no command: the sender is let go with nothing applied.
      if (line.size() > static_cast<qsizetype>(vintrel::kCommandBoxMaxText)) {
        socket->abort();
        return;
      }
      idle->start(vintrel::kCommandBoxIdleMs);
      Receive(QString::fromUtf8(line));
      socket->write(QByteArray::fromStdString(std::string(vintrel::kCommandBoxTakenAnswer) + "\n"));
      socket->flush();
    }
    // Room for the longest line and its "\r".
    if (pending->size() > static_cast<qsizetype>(vintrel::kCommandBoxMaxText) + 1) socket->abort();
  };
  connect(socket, &QLocalSocket::readyRead, this, readLines);
  readLines();
}
