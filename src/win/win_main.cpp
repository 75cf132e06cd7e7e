#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/platform.h"
#include "base/wide_text_win32.h"
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
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const std::vector<std::string> files = CommandLineFiles();
  SecondLaunch launch;
  if (launch.HandOver(files)) return 0;

  // The folder browser needs COM on this thread; without it only that dialog is lost.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&controls)) return 1;

  WinApp app(vintrel::ResolveAppPaths(vintrel::ApplicationFolder()));
  if (!app.Load(instance)) {
    MessageBoxW(nullptr, L"The window could not be created.", L"Vintrel", MB_OK | MB_ICONERROR);
    return 1;
  }
  app.Show(showCommand);
  app.QueueFiles(files);
  const int status = app.Run();
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
