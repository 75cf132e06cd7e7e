#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/platform.h"
#include "base/wide_text_win32.h"
#include "win_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
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

  // Files named on the command line (a file manager's "Open With").
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments != nullptr) {
    std::vector<std::string> files;
    for (int i = 1; i < count; ++i) {
      if (auto file = vintrel::Utf8FromWide(arguments[i])) files.push_back(std::move(*file));
    }
    LocalFree(arguments);
    app.QueueFiles(files);
  }
  const int status = app.Run();
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
