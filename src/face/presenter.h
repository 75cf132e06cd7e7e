#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_box.h"
#include "app/platform.h"
#include "app/startup.h"
#include "engine/batch_controller.h"
#include "face/launch_inbox.h"
#include "face/window_port.h"
#include "intake/file_queue.h"
#include "process/dos_outputs.h"

namespace vintrel::face {

// What both windows do alike, once: start-up's window steps, the runner and the batch wired to
// the window, the release of an action button, the command box, drops and launches, the folder
// dialog, exit and unload. The window turns its toolkit's events into these calls and carries
// out the steps the presenter asks of it through WindowPort.
class Presenter : private StartupWindow, private BatchDisplay, private BatchInputs {
 public:
  Presenter(WindowPort& window, AppPaths paths);
  ~Presenter() override;
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Form_Load: every start-up step; once.
  void Load();
  const StartupOutcome& Startup() const { return startup_; }
  const AppPaths& Paths() const { return paths_; }
  // Null until Load() has created it.
  BatchController* Controller() { return controller_.get(); }
  bool Running() const { return controller_ && controller_->Running(); }
  // lstFile: the files still to convert, which the window's list shows.
  const FileQueue& Queue() const { return lstFile_; }

  // imgButton_MouseUp: the release of an action button by the mouse, a key or the command box.
  // The new looks are painted and the hold ends before the action runs; box texts and launches
  // wait until it is over.
  void ReleaseButton(int index);
  // The window's releases, browse, exit and unload come here.
  void ConnectHooks(WindowHooks& hooks);

  // Where an action goes; the batch controller when unset.
  std::function<void(int index)> onAction;

  // A text for the command box from another program: run when the window is idle.
  void OfferCommandBoxText(std::string text);
  // menuMsg_Change: the box's text changed. Any change marks the next release as the box's;
  // a last character that is a digit names the button released.
  void CommandBoxChanged(const std::string& text);
  CommandBoxGate& Gate() { return gate_; }

  // Files dropped on the window, in order; refused during a batch, and with a box when they
  // would pass kQueueLimit.
  void DropFiles(const std::vector<std::string>& paths);
  // Files of a launch (or of the command line at start-up): dropped once no action runs. False
  // when the list has no room for them all; the window has said so.
  bool TakeLaunch(std::vector<std::string> files);
  LaunchInbox& Inbox() { return inbox_; }

  // imgBrowse: the folder dialog; cancel keeps the folder.
  void Browse();

  // The two temporary files, or none when the working folder is not this user's alone.
  TemporaryFiles TemporaryFilesToDelete() const;
  // imgExit: save the settings, then unload.
  void Exit();
  // Form_Unload, whatever led there: delete the temporary files and end the process at once.
  void Unload();

 private:
  void RunAction(int index);
  void ShowQueueFull();

  // Start-up's window steps.
  void ApplyWindowStyle() override;
  void SetFromCommandBox(bool value) override;
  void CreateRunner() override;
  void SelectPickers(const StoredSettings& settings) override;
  void SetProgress(double fraction) override;
  std::string OutputFolderText() override;
  void SetOutputFolderText(const std::string& text) override;
  void SetVersionColour(Rgb colour) override;
  void SetVersionCaption(const std::string& caption) override;

  // What a batch shows and reads.
  void SetActionsEnabled(bool enabled) override;
  void ClearStartButtonLook() override;
  void SetProgressLabel(const std::string& text) override;
  void SetDropHintVisible(bool visible) override;
  ConversionSettings ReadSettings() override;
  int SelectedRow() override;

  WindowPort& window_;
  AppPaths paths_;
  // Declared before the controller, which works on it.
  FileQueue lstFile_;
  CommandBox box_;
  CommandBoxGate gate_;
  LaunchInbox inbox_;
  BatchReports reports_;  // the window keeps no record per file
  Rgb versionColour_{};
  StartupOutcome startup_;
  // Declared before the controller, which lets go of the runner's events when it goes.
  std::unique_ptr<DOSOutputs> objDOS_;
  std::unique_ptr<BatchController> controller_;
  // Cleared when the presenter goes, so a release that dispatched into its end stops there.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool loaded_ = false;
  bool unloading_ = false;
};

}  // namespace vintrel::face
