#include "win_app.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shlobj.h>

#include <chrono>
#include <cstdlib>

#include "app/wave_file.h"
#include "base/wide_text_win32.h"
#include "intake/open_files.h"
#include "long_message.h"
#include "version_resource.h"

namespace face = vintrel::face;

WinApp::WinApp(vintrel::AppPaths paths) : WindowAdapter(window_), presenter_(*this, std::move(paths)) {
  presenter_.ConnectHooks(window_);
  window_.onFilesDropped = [this](const std::vector<std::string>& paths) { presenter_.DropFiles(paths); };
  window_.onLaunch = [this](std::vector<std::string> files) {
    return presenter_.TakeLaunch(std::move(files));
  };
  window_.onCommandBoxText = [this](std::string text) { presenter_.OfferCommandBoxText(std::move(text)); };
}

WinApp::~WinApp() = default;

bool WinApp::Load(HINSTANCE instance) {
  if (!window_.Create(instance)) return false;
  presenter_.Load();
  return true;
}

int WinApp::Run() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Dispatch(message);
  }
  presenter_.Unload();
  return 0;
}

void WinApp::EndProcess(int status) {
  // At once: no destructors, no waiting for a running encoder.
  std::_Exit(status);
}

void WinApp::SetVersion(const std::string& caption, vintrel::Rgb colour) {
  // The numbers of the program's own version resource; the built-in caption when it has none.
  const auto version = OwnFileVersion();
  const std::string shown =
      version ? vintrel::VersionCaption(version->major, version->minor, version->patch) : caption;
  window_.SetVersion(vintrel::WideForDisplay(shown), colour);
}

void WinApp::SetProgressLabel(const std::string& text) {
  window_.SetProgressLabel(vintrel::WideForDisplay(text));
}

bool WinApp::PaintNow() {
  UpdateWindow(window_.hwnd());
  DispatchPending();
  return true;
}

namespace {
UINT IconLook(vintrel::MessageIcon icon) {
  if (icon == vintrel::MessageIcon::Exclamation) return MB_ICONEXCLAMATION;
  if (icon == vintrel::MessageIcon::Critical) return MB_ICONERROR;
  return MB_ICONINFORMATION;
}
}  // namespace

void WinApp::ShowDetailedMessage(const std::string& title, const std::string& text,
                                 const std::string& details, vintrel::MessageIcon icon) {
  const MainWindow::KeepFocus keep(window_);
  const std::wstring wideText = vintrel::WideForDisplay(text);
  const std::wstring wideTitle = vintrel::WideForDisplay(title);
  // A message box grows with its text, past the bottom of the screen.
  if (details.empty() && !TooLongForMessageBox(wideText)) {
    MessageBoxW(window_.hwnd(), wideText.c_str(), wideTitle.c_str(), MB_OK | IconLook(icon));
    return;
  }
  ShowLongMessage(window_.hwnd(), wideTitle, wideText, vintrel::WideForDisplay(details), IconLook(icon));
}

std::string WinApp::AskForSourceFile() {
  // Embedded NULs separate the pieces; the converted text keeps them.
  const std::string filter = vintrel::ConvertFilter(vintrel::kOpenFilesFilter);
  const auto wideFilter = vintrel::WideFromUtf8(std::string_view(filter.data(), filter.size() + 1));
  const std::wstring title = vintrel::WideForDisplay(vintrel::kOpenFilesTitle);
  const auto start = vintrel::WideFromUtf8(
      vintrel::ResolveStartFolder("", presenter_.Paths().applicationFolder, vintrel::FolderHasEntries));
  std::wstring file(32768, L'\0');
  OPENFILENAMEW request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = window_.hwnd();
  request.lpstrFilter = wideFilter ? wideFilter->c_str() : nullptr;
  request.nFilterIndex = 1;
  request.lpstrFile = file.data();
  request.nMaxFile = static_cast<DWORD>(file.size());
  request.lpstrInitialDir = start ? start->c_str() : nullptr;
  request.lpstrTitle = title.c_str();
  request.Flags = static_cast<DWORD>(vintrel::kOpenFilesFlags);
  const MainWindow::KeepFocus keep(window_);
  if (!GetOpenFileNameW(&request)) return {};
  file.resize(wcslen(file.c_str()));
  return vintrel::Utf8FromWide(file).value_or(std::string());
}

// No callback, so the dialog opens at the desktop whatever the current folder is.
std::string WinApp::AskForFolder(const std::string&) {
  const std::wstring title = vintrel::WideForDisplay(face::kFolderDialogTitle);
  BROWSEINFOW request{};
  request.hwndOwner = window_.hwnd();
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  const MainWindow::KeepFocus keep(window_);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
  if (chosen == nullptr) return {};
  std::wstring path(MAX_PATH + 1, L'\0');
  const BOOL found = SHGetPathFromIDListW(chosen, path.data());
  CoTaskMemFree(chosen);
  if (!found) return {};
  path.resize(wcslen(path.c_str()));
  return vintrel::Utf8FromWide(path).value_or(std::string());
}

void WinApp::OpenFolder(const std::string& folder) {
  // Quietly: the batch is over either way, and its files are where the label says.
  if (const auto wide = vintrel::WideFromUtf8(folder)) {
    ShellExecuteW(window_.hwnd(), L"open", wide->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

void WinApp::PlaySoundToEnd(const std::string& wavFile) {
  const auto length = vintrel::WaveDurationMs(wavFile);
  const auto wide = vintrel::WideFromUtf8(wavFile);
  if (!length || !wide) {
    MessageBeep(MB_OK);
    return;
  }
  // Asynchronous, so the window keeps answering while it plays; quiet when there is no device.
  if (!PlaySoundW(wide->c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT)) return;
  WaitDispatching(*length);
}

void WinApp::Dispatch(MSG& message) {
  if (window_.HandleKey(message)) return;
  // Tab moves between the buttons, the list, the pickers and the output folder, as in a dialog.
  if (IsDialogMessageW(window_.hwnd(), &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void WinApp::DispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Closing the window unloads; a quit seen here must still end the program.
      presenter_.Unload();
    }
    Dispatch(message);
  }
}

void WinApp::WaitDispatching(int milliseconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0);
  for (;;) {
    DispatchPending();
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT) == WAIT_FAILED) {
      Sleep(static_cast<DWORD>(left));
      return;
    }
  }
}
