#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

class QLineEdit;
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

 signals:
  // A received text has been put into the box and whatever it triggered has run.
  void textApplied(const QString& text);

 private:
  void Receive(const QString& text);
  void Apply(const QString& text);

  struct Native;
  std::unique_ptr<Native> native_;
  QPointer<QLineEdit> menuMsg_;
  QPointer<QWidget> window_;
  QString error_;
};
