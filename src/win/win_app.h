#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/startup.h"
#include "engine/batch_controller.h"
#include "engine/batch_view.h"
#include "main_window.h"
#include "process/dos_outputs.h"
#include "process/event_pump.h"

// The application around the Win32 window: start-up, the three actions, drops, the command box and
// shutdown; and every side of the face the batch talks to, through the Win32 calls of each.
class WinApp : private vintrel::StartupWindow,
               private vintrel::BatchDisplay,
               private vintrel::BatchInputs,
               private vintrel::BatchDesktop,
               private vintrel::MessageSink,
               private vintrel::EventPump {
 public:
  explicit WinApp(vintrel::AppPaths paths);
  ~WinApp() override;

  // Creates the window and runs Form_Load; false when the window could not be made.
  bool Load(HINSTANCE instance);
  void Show(int showCommand) { window_.Show(showCommand); }
  // Files named on the command line (absolute), queued as if dropped.
  void QueueFiles(const std::vector<std::string>& paths);
  // The message loop; returns the exit status.
  int Run();

 private:
  void imgExit_Click();
  void Form_Unload();
  void OnFilesDropped(const std::vector<std::string>& paths);

  // Start-up's window steps.
  void ApplyWindowStyle() override;
  void SetFromCommandBox(bool value) override;
  void CreateRunner() override;
  void SelectPickers(const vintrel::StoredSettings& settings) override;
  std::string OutputFolderText() override;
  void SetOutputFolderText(const std::string& text) override;
  void SetVersionColour(vintrel::Rgb colour) override;
  void SetVersionCaption(const std::string& caption) override;

  // What a batch shows and reads.
  void SetActionsEnabled(bool enabled) override;
  void ClearStartButtonLook() override;
  void SetProgressLabel(const std::string& text) override;
  void SetProgress(double fraction) override;
  void SetDropHintVisible(bool visible) override;
  vintrel::ConversionSettings ReadSettings() override;
  int SelectedRow() override;

  // What a batch asks of the desktop.
  void ShowMessage(const std::string& title, const std::string& text, vintrel::MessageIcon icon) override;
  void ShowDetailedMessage(const std::string& title, const std::string& text, const std::string& details,
                           vintrel::MessageIcon icon) override;
  std::string AskForSourceFile() override;
  void OpenFolder(const std::string& folder) override;
  void PlaySoundToEnd(const std::string& wavFile) override;
  void Critical(const std::string& text) override;

  // The message-pumping wait.
  void DispatchPending() override;
  void WaitDispatching(int milliseconds) override;

  std::string AskForFolder(const std::string& start);
  void Dispatch(MSG& message);

  vintrel::AppPaths paths_;
  MainWindow window_;
  vintrel::BatchReports reports_;  // the window keeps no record per file
  vintrel::Rgb versionColour_{};
  vintrel::StartupOutcome startup_;
  std::unique_ptr<vintrel::DOSOutputs> objDOS_;
  std::unique_ptr<vintrel::BatchController> controller_;
  bool unloading_ = false;
};
