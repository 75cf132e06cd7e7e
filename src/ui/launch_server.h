#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalSocket;

// Takes the files of later launches of the program (app/launch_client.h) for the running window:
// a local socket beside the command box's, open to this user alone. A launch is answered once
// onFiles has taken its files; one read past its deadline, or whose files onFiles refuses, is
// closed unanswered, and one beyond the limit of launches at once is told the window is busy.
class LaunchServer : public QObject {
 public:
  explicit LaunchServer(QObject* parent = nullptr);
  ~LaunchServer() override;

  // Starts listening in `workingFolder`. False when it cannot; errorText() says why, and
  // anotherWindow() whether a window of this user already listens there.
  bool Listen(const std::string& workingFolder);
  QString errorText() const { return error_; }
  bool anotherWindow() const { return anotherWindow_; }
  bool listening() const;

  // True when the files were taken.
  std::function<bool(std::vector<std::string> files)> onFiles;

 private:
  void Serve(QLocalSocket* socket);

  struct Native;
  std::unique_ptr<Native> native_;
  QString error_;
  bool anotherWindow_ = false;
};
