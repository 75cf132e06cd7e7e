#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform.h"
#include "base/wide_text_win32.h"
#include "face/start_window.h"
#include "second_launch.h"
#include "win_app.h"

namespace {
// Files named on the command line (a file manager's "Open With").
std::vector<std::string> CommandLineFiles() {
  std::vector<std::string> files;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return files;
  for (int i = 1; i < count; ++i) {
    if (auto file = vintrel::Utf8FromWide(arguments[i])) files.push_back(std::move(*file));
  }
  LocalFree(arguments);
  return AbsolutePaths(files);
}

// Start-up's steps as the Win32 window carries them out. A second launch finds the running
// window by its class and hands over by WM_COPYDATA; the command box is a control of the window.
class WinStartup : public vintrel::face::StartupHooks {
 public:
  WinStartup(HINSTANCE instance, int showCommand) : instance_(instance), showCommand_(showCommand) {}
  ~WinStartup() override {
    app_.reset();
    if (SUCCEEDED(com_)) CoUninitialize();
  }
  WinStartup(const WinStartup&) = delete;
  WinStartup& operator=(const WinStartup&) = delete;

  vintrel::HandOffResult HandToRunningWindow(const vintrel::AppPaths&,
                                             const std::vector<std::string>& files) override {
    // A window that did not take them has been told about in a box; a second window would only
    // stand beside it.
    if (launch_.HandOver(files)) return {vintrel::HandOff::Taken, {}};
    return {vintrel::HandOff::NoWindow, {}};
  }

  vintrel::face::Presenter* Load(vintrel::AppPaths paths) override {
    // The folder browser needs COM on this thread; without it only that dialog is lost.
    com_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    if (!InitCommonControlsEx(&controls)) return nullptr;
    app_.emplace(std::move(paths));
    if (!app_->Load(instance_)) {
      MessageBoxW(nullptr, L"The window could not be created.", L"Vintrel", MB_OK | MB_ICONERROR);
      return nullptr;
    }
    return &app_->Presenter();
  }

  // WM_COPYDATA reaches the window as soon as it exists.
  vintrel::face::LaunchChannel OpenLaunchChannel() override { return vintrel::face::LaunchChannel::Open; }
  void Show() override { app_->Show(showCommand_); }
  // The hidden EDIT control was made with the window.
  void OpenCommandBox() override {}
  int Run() override { return app_->Run(); }

 private:
  HINSTANCE instance_;
  int showCommand_;
  SecondLaunch launch_;
  HRESULT com_ = E_FAIL;
  std::optional<WinApp> app_;
};
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WinStartup startup(instance, showCommand);
  return vintrel::face::StartWindow(startup, CommandLineFiles());
}
