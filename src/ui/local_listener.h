#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalSocket;
class QTimer;

// A local socket in the user's private working folder that only this user's programs reach. It
// leaves a live socket of another window alone, listens again when a failed accept closed it or
// a cleaner of the temporary folder removed its file, checks each peer's user and counts the
// peers it serves. The command box and the launch hand-off each keep one.
class LocalListener : public QObject {
 public:
  // `purpose` completes "another Vintrel window takes ... at PATH".
  LocalListener(QString purpose, int limit, QObject* parent = nullptr);
  ~LocalListener() override;

  // Starts listening at `path`. False when it cannot; errorText() says why, anotherWindow()
  // whether a live socket of another window holds the path.
  bool Listen(const QString& path);
  QString errorText() const { return error_; }
  bool anotherWindow() const { return anotherWindow_; }
  bool listening() const;

  // A peer of this user while fewer than the limit are served; it is deleted once it leaves.
  std::function<void(QLocalSocket*)> serve;
  // A peer beyond the limit, told before it is closed; without it, closed at once.
  std::function<void(QLocalSocket*)> refuse;

  // Lets an idle peer go after `ms`; the caller restarts the timer whenever the peer speaks.
  static std::shared_ptr<QTimer> IdleTimer(QLocalSocket* socket, int ms);

 private:
  bool ListenAgain();
  void Accept(QLocalSocket* socket);

  struct Native;
  std::unique_ptr<Native> native_;
  QString purpose_;
  int limit_;
  QString error_;
  bool anotherWindow_ = false;
};
