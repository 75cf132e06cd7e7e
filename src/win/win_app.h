#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/platform.h"
#include "face/presenter.h"
#include "face/window_port.h"
#include "main_window.h"
#include "process/event_pump.h"

// The application around the Win32 window: the window, the presenter that does what both windows
// do alike, and every step the presenter asks of the window through the Win32 calls of each.
class WinApp : private vintrel::face::WindowAdapter<MainWindow>, private vintrel::EventPump {
 public:
  explicit WinApp(vintrel::AppPaths paths);
  ~WinApp() override;

  // Creates the window and runs Form_Load; false when the window could not be made.
  bool Load(HINSTANCE instance);
  void Show(int showCommand) { window_.Show(showCommand); }
  vintrel::face::Presenter& Presenter() { return presenter_; }
  // The message loop; returns the exit status.
  int Run();

 private:
  // What the presenter asks of the window.
  void SetVersion(const std::string& caption, vintrel::Rgb colour) override;
  void SetProgressLabel(const std::string& text) override;
  bool PaintNow() override;
  vintrel::EventPump& Pump() override { return *this; }
  std::string AskForFolder(const std::string& current) override;
  void EndProcess(int status) override;

  // What a batch asks of the desktop.
  std::string AskForSourceFile() override;
  void ShowDetailedMessage(const std::string& title, const std::string& text, const std::string& details,
                           vintrel::MessageIcon icon) override;
  void OpenFolder(const std::string& folder) override;
  void PlaySoundToEnd(const std::string& wavFile) override;

  // The message-pumping wait.
  void WaitDispatching(int milliseconds) override;
  void DispatchPending() override;
  void Dispatch(MSG& message);

  // The adapter holds on to it before it is made; it is used only once made.
  MainWindow window_;
  vintrel::face::Presenter presenter_;
};
