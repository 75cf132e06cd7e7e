#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "app/launch_client.h"
#include "app/launch_message.h"
#include "launch_server.h"
#include "local_listener.h"

struct LaunchServer::Native {
  LocalListener listener{QStringLiteral("launches"), vintrel::kLaunchConnections};
};

LaunchServer::LaunchServer(QObject* parent) : QObject(parent), native_(std::make_unique<Native>()) {}

LaunchServer::~LaunchServer() = default;

bool LaunchServer::Listen(const std::string& workingFolder) {
  if (workingFolder.empty()) {
    error_ = QStringLiteral("no private working folder");
    return false;
  }
  LocalListener& listener = native_->listener;
  listener.serve = [this](QLocalSocket* socket) { Serve(socket); };
  listener.refuse = [](QLocalSocket* socket) {
    socket->write(QByteArray(1, vintrel::kLaunchBusy));
    socket->flush();
  };
  if (listener.Listen(QString::fromStdString(vintrel::LaunchSocketPath(workingFolder)))) return true;
  error_ = listener.errorText();
  anotherWindow_ = listener.anotherWindow();
  return false;
}

bool LaunchServer::listening() const {
  return native_->listener.listening();
}

void LaunchServer::Serve(QLocalSocket* socket) {
  // A launch writes its message at once; one that idles is let go.
  auto idle = LocalListener::IdleTimer(socket, vintrel::kLaunchTimeoutMs);

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
    auto message = vintrel::DecodeLaunchMessage(
        std::string_view(pending->constData(), static_cast<std::size_t>(pending->size())));
    pending->clear();
    idle->stop();
    // A window that was stopped reads the message of a launch that has given up and said so.
    if (!message || message->LateAt(vintrel::LaunchClockMs()) || !onFiles ||
        !onFiles(std::move(message->files))) {
      socket->abort();
      return;
    }
    socket->write(QByteArray(1, vintrel::kLaunchTaken));
    socket->disconnectFromServer();
  };
  connect(socket, &QLocalSocket::readyRead, this, read);
  read();
}
