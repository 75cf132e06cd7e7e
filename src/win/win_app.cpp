#include "win_app.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shlobj.h>

#include <chrono>
#include <cstdlib>

#include "app/shutdown.h"
#include "app/wave_file.h"
#include "base/wide_text_win32.h"
#include "intake/open_files.h"
#include "long_message.h"
#include "version_resource.h"

namespace face = vintrel::face;

WinApp::WinApp(vintrel::AppPaths paths) : paths_(std::move(paths)) {
  window_.onAction = [this](int index) {
    if (controller_) controller_->RunAction(index);
  };
  window_.onExit = [this] { imgExit_Click(); };
  window_.onUnload = [this] { Form_Unload(); };
  window_.onFilesDropped = [this](const std::vector<std::string>& paths) { OnFilesDropped(paths); };
  window_.folderDialog = [this](const std::string& start) { return AskForFolder(start); };
  window_.dispatchPending = [this] { DispatchPending(); };
}

WinApp::~WinApp() = default;

bool WinApp::Load(HINSTANCE instance) {
  if (!window_.Create(instance)) return false;
  startup_ = vintrel::Form_Load(paths_, *this);
  return true;
}

int WinApp::Run() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Dispatch(message);
  }
  Form_Unload();
  return 0;
}

void WinApp::QueueFiles(const std::vector<std::string>& paths) {
  if (!paths.empty()) OnFilesDropped(paths);
}

void WinApp::imgExit_Click() {
  // A failed save is not worth keeping the user: the previous file stays as it was.
  vintrel::SaveSettings(paths_.settingsFile, window_.Settings());
  Form_Unload();
}

void WinApp::Form_Unload() {
  if (unloading_) return;
  unloading_ = true;
  if (startup_.workingFolderUsable)
    vintrel::DeleteTemporaryFiles(vintrel::TemporaryFilesIn(paths_.workingFolder));
  // At once: no destructors, no waiting for a running encoder.
  std::_Exit(0);
}

void WinApp::OnFilesDropped(const std::vector<std::string>& paths) {
  // The queue must not change under a running batch.
  if (!controller_ || controller_->Running()) return;
  vintrel::FileQueue& queue = window_.lstFile();
  for (const std::string& path : paths) queue.AddToQueue(path);
  if (!queue.Empty()) window_.SetDropHintVisible(false);
}

void WinApp::ApplyWindowStyle() {
  window_.ApplyWindowStyle();
}

void WinApp::SetFromCommandBox(bool value) {
  window_.looks().SetFromCommandBox(value);
}

void WinApp::CreateRunner() {
  vintrel::EventPump& pump = *this;
  vintrel::MessageSink& messages = *this;
  objDOS_ = std::make_unique<vintrel::DOSOutputs>(pump, messages);
  controller_ = std::make_unique<vintrel::BatchController>(
      window_.lstFile(), *objDOS_, pump, vintrel::BatchFace{*this, *this, *this, reports_}, paths_);
}

void WinApp::SelectPickers(const vintrel::StoredSettings& settings) {
  vintrel::StoredSettings pickers = settings;
  pickers.outputFolder = window_.Settings().outputFolder;
  window_.SetSettings(pickers);
}

std::string WinApp::OutputFolderText() {
  return window_.Settings().outputFolder;
}

void WinApp::SetOutputFolderText(const std::string& text) {
  vintrel::StoredSettings settings = window_.Settings();
  settings.outputFolder = text;
  window_.SetSettings(settings);
}

void WinApp::SetVersionColour(vintrel::Rgb colour) {
  versionColour_ = colour;
}

void WinApp::SetVersionCaption(const std::string& caption) {
  // The numbers of the program's own version resource; the built-in caption when it has none.
  const auto version = OwnFileVersion();
  const std::string shown =
      version ? vintrel::VersionCaption(version->major, version->minor, version->patch) : caption;
  window_.SetVersion(vintrel::WideForDisplay(shown), versionColour_);
}

void WinApp::SetActionsEnabled(bool enabled) {
  window_.SetActionsEnabled(enabled);
}

void WinApp::ClearStartButtonLook() {
  window_.looks().ClearAction(vintrel::kActionStart);
  window_.RepaintLooks();
}

void WinApp::SetProgressLabel(const std::string& text) {
  window_.SetProgressLabel(vintrel::WideForDisplay(text));
}

void WinApp::SetProgress(double fraction) {
  window_.SetProgressBar(fraction * face::kFullBarTwips);
}

void WinApp::SetDropHintVisible(bool visible) {
  window_.SetDropHintVisible(visible);
}

vintrel::ConversionSettings WinApp::ReadSettings() {
  return vintrel::ConversionSettingsFor(window_.Settings());
}

int WinApp::SelectedRow() {
  return window_.SelectedRow();
}

namespace {
UINT IconLook(vintrel::MessageIcon icon) {
  if (icon == vintrel::MessageIcon::Exclamation) return MB_ICONEXCLAMATION;
  if (icon == vintrel::MessageIcon::Critical) return MB_ICONERROR;
  return MB_ICONINFORMATION;
}
}  // namespace

void WinApp::ShowMessage(const std::string& title, const std::string& text, vintrel::MessageIcon icon) {
  ShowDetailedMessage(title, text, std::string(), icon);
}

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

void WinApp::Critical(const std::string& text) {
  ShowMessage(std::string(face::kWindowTitle), text, vintrel::MessageIcon::Critical);
}

std::string WinApp::AskForSourceFile() {
  // Embedded NULs separate the pieces; the converted text keeps them.
  const std::string filter = vintrel::ConvertFilter(vintrel::kOpenFilesFilter);
  const auto wideFilter = vintrel::WideFromUtf8(std::string_view(filter.data(), filter.size() + 1));
  const std::wstring title = vintrel::WideForDisplay(vintrel::kOpenFilesTitle);
  const auto start = vintrel::WideFromUtf8(
      vintrel::ResolveStartFolder("", paths_.applicationFolder, vintrel::FolderHasEntries));
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
      Form_Unload();
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
