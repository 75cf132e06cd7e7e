#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/platform.h"
#include "face/presenter.h"
#include "qt_window_port.h"

namespace vintrel {
class CommandBoxServer;
class LaunchServer;
}  // namespace vintrel
class LocalServerPump;
class frmMain;

// The application around the Qt window: the window and the presenter that does what both windows
// do alike, the command box's socket and the launch channel. Lives as long as the program.
class AppShell : public QObject {
  Q_OBJECT

 public:
  explicit AppShell(vintrel::AppPaths paths, ShellSeams seams = {});
  ~AppShell() override;

  frmMain& Window() { return *frm_; }
  const vintrel::AppPaths& Paths() const { return presenter_.Paths(); }
  // Null until Load() has created it.
  vintrel::BatchController* Controller() { return presenter_.Controller(); }
  const vintrel::StartupOutcome& Startup() const { return presenter_.Startup(); }

  // Form_Load. Call once, before the window is first shown.
  void Load() { presenter_.Load(); }
  // Lets other programs of this user set the command box; false (and the reason on stderr)
  // when it cannot be offered.
  bool OpenCommandBox();
  // Lets later launches of the program hand their files to this window; false (and the reason on
  // stderr) when it cannot, with LaunchChannel()->AnotherWindow() when a window listens already.
  bool OpenLaunchChannel();
  vintrel::LaunchServer* LaunchChannel() const { return launch_.get(); }
  // Files of a launch (this one's, or a later one's through the channel): queued as a drop of
  // them would be, once no action runs.
  vintrel::face::LaunchInbox& Inbox() { return presenter_.Inbox(); }
  // Takes them into the inbox and brings the window forward; false when the list has no room
  // for them all (the window has said so).
  bool TakeLaunch(std::vector<std::string> files);
  vintrel::face::Presenter& Presenter() { return presenter_; }
  // Box texts pass here, so they never run nested inside an action or a modal dialog.
  vintrel::CommandBoxGate& Gate() { return presenter_.Gate(); }

  // The two temporary files, or none when the working folder is not this user's alone.
  vintrel::TemporaryFiles TemporaryFilesToDelete() const { return presenter_.TemporaryFilesToDelete(); }
  // imgExit: save the settings, then unload.
  void imgExit_Click() { presenter_.Exit(); }
  // Any unload: delete the temporary files (a bounded number of tries) and end the process at
  // once, without waiting for a running encoder.
  void Form_Unload() { presenter_.Unload(); }
  // A change of menuMsg's text: its last character names the action.
  void menuMsg_Change(const QString& text);

 signals:
  // A text another program put in the command box has been handed on, and whatever it
  // triggered has run.
  void commandBoxTextApplied(const QString& text);

 private:
  void OnFilesDropped(const QStringList& paths);
  void ApplyCommandBoxText(const QString& text);

  ShellSeams seams_;
  std::unique_ptr<frmMain> frm_;
  QtWindowPort port_;
  vintrel::face::Presenter presenter_;
  // Each pump, declared after its server, goes first.
  std::unique_ptr<vintrel::CommandBoxServer> server_;
  std::unique_ptr<LocalServerPump> serverPump_;
  std::unique_ptr<vintrel::LaunchServer> launch_;
  std::unique_ptr<LocalServerPump> launchPump_;
};
