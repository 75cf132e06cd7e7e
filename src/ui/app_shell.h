#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/command_box.h"
#include "app/platform.h"
#include "app/settings.h"
#include "app/startup.h"
#include "engine/batch_controller.h"
#include "face/launch_inbox.h"
#include "process/dos_outputs.h"
#include "qt_pump.h"
#include "window_view.h"

class CommandBoxServer;
class LaunchServer;
class frmMain;

// The application around the window: start-up, the three actions, drops, the command box and
// shutdown. Owns the window, the runner and the batch controller for the program's life.
class AppShell : public QObject, private vintrel::StartupWindow {
  Q_OBJECT

 public:
  explicit AppShell(vintrel::AppPaths paths, ShellSeams seams = {});
  ~AppShell() override;

  frmMain& window() { return *frm_; }
  const vintrel::AppPaths& paths() const { return paths_; }
  // Null until Load() has created it.
  vintrel::BatchController* controller() { return controller_.get(); }
  const vintrel::StartupOutcome& startup() const { return startup_; }

  // Form_Load. Call once, before the window is first shown.
  void Load();
  // Lets other programs of this user set the command box; false (and the reason on stderr)
  // when it cannot be offered.
  bool OpenCommandBox();
  CommandBoxServer* commandBoxServer() const { return server_.get(); }
  // Lets later launches of the program hand their files to this window; false (and the reason on
  // stderr) when it cannot, with launchServer()->anotherWindow() when a window listens already.
  bool OpenLaunchChannel();
  LaunchServer* launchServer() const { return launch_.get(); }
  // Files of a launch (this one's, or a later one's through the channel): queued as a drop of
  // them would be, once no action runs.
  vintrel::face::LaunchInbox& launchInbox() { return inbox_; }
  // Box texts pass here, so they never run nested inside an action or a modal dialog.
  vintrel::CommandBoxGate& commandBoxGate() { return gate_; }

  // The two temporary files, or none when the working folder is not this user's alone.
  vintrel::TemporaryFiles temporaryFiles() const;
  // imgExit: save the settings, then unload.
  void imgExit_Click();
  // Any unload: delete the temporary files (a bounded number of tries) and end the process at
  // once, without waiting for a running encoder.
  void Form_Unload();
  // A change of menuMsg's text: its last character names the action.
  void menuMsg_Change(const QString& text);
  // Files named on the command line (a file manager's "Open With"), queued as if dropped.
  void QueueFiles(const QStringList& paths);

 private:
  void OnFilesDropped(const QStringList& paths);
  void DropFiles(const std::vector<std::string>& paths);
  void TakeLaunch(std::vector<std::string> files);
  void OnAction(int index);

  // Start-up's window steps.
  void ApplyWindowStyle() override;
  void SetFromCommandBox(bool value) override;
  void CreateRunner() override;
  void SelectPickers(const vintrel::StoredSettings& settings) override;
  void SetProgress(double fraction) override;
  std::string OutputFolderText() override;
  void SetOutputFolderText(const std::string& text) override;
  void SetVersionColour(vintrel::Rgb colour) override;
  void SetVersionCaption(const std::string& caption) override;

  vintrel::AppPaths paths_;
  vintrel::CommandBoxGate gate_;
  vintrel::face::LaunchInbox inbox_;
  ShellSeams seams_;
  std::unique_ptr<frmMain> frm_;
  WindowDisplay display_;
  QtEventPump pump_;
  std::unique_ptr<WindowDesktop> desktop_;
  vintrel::BatchReports reports_;  // the window keeps no record per file
  // Declared before the controller, which lets go of the runner's events when it goes.
  std::unique_ptr<vintrel::DOSOutputs> objDOS_;
  std::unique_ptr<vintrel::BatchController> controller_;
  std::unique_ptr<CommandBoxServer> server_;
  std::unique_ptr<LaunchServer> launch_;
  vintrel::StartupOutcome startup_;
  bool loaded_ = false;
  bool unloading_ = false;
};
