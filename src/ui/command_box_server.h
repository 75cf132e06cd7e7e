#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QLineEdit;
class QLocalSocket;
class QWidget;

// Opens the hidden command box to other programs of the same user: on POSIX a local socket in
// the per-user working folder (one text per line), on Windows a native hidden EDIT child that
// WM_SETTEXT reaches. A received text is put into the box later, from the event loop, so the
// sender never waits for the action it triggers.
class CommandBoxServer : public QObject {
  Q_OBJECT

 public:
  CommandBoxServer(QLineEdit* menuMsg, QWidget* window, QObject* parent = nullptr);
  ~CommandBoxServer() override;

  // Starts taking texts. `workingFolder` holds the socket on POSIX. False when the box cannot
  // be offered; errorText() says why.
  bool Listen(const std::string& workingFolder);
  QString errorText() const { return error_; }
  // Where a received text goes; without it, straight into the box.
  std::function<void(const QString&)> onText;

 signals:
  // A received text has been handed on (to onText, or into the box) and whatever it triggered
  // has run.
  void textApplied(const QString& text);

 private:
  void Receive(const QString& text);
  void Apply(const QString& text);
  // POSIX: reads the lines of one sender of this user.
  void Serve(QLocalSocket* socket);

  struct Native;
  std::unique_ptr<Native> native_;
  QPointer<QLineEdit> menuMsg_;
  QPointer<QWidget> window_;
  QString error_;
};
