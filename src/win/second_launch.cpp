#include "second_launch.h"

// sddl.h needs windows.h first, which second_launch.h brings.
#include <sddl.h>

#include <cwchar>
#include <memory>
#include <type_traits>
#include <utility>

#include "app/launch_message.h"
#include "base/wide_text_win32.h"

const wchar_t* const SecondLaunch::kWindowClass = L"VintrelMain";

namespace {

const wchar_t* const kLaunchClass = L"VintrelLaunch";
// Marks our WM_COPYDATA among any other program's.
constexpr ULONG_PTR kLaunchTag = 0x564C4D32;  // "VLM2"
constexpr UINT kSendTimeoutMs = 5000;
// A send that times out is still delivered when the window wakes: the message's deadline comes
// this much before the send gives up, and the window drops a message it reads later.
constexpr int kDeadlineMarginMs = 1000;
// How long a second launch waits for the first one's window to appear.
constexpr int kFindWindowMs = 5000;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The user SID of a process as text, or empty.
std::wstring ProcessUser(HANDLE process) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
  const Handle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> user(size);
  if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) return {};
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

std::wstring OwnUser() {
  return ProcessUser(GetCurrentProcess());
}

std::wstring WindowUser(HWND window) {
  DWORD id = 0;
  if (GetWindowThreadProcessId(window, &id) == 0) return {};
  const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  return process ? ProcessUser(process.get()) : std::wstring();
}

bool HasClass(HWND window, const wchar_t* name) {
  wchar_t found[64] = {};
  return GetClassNameW(window, found, 64) > 0 && wcscmp(found, name) == 0;
}

// A main window of this user, or null.
HWND FindUsersWindow(const std::wstring& user) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, SecondLaunch::kWindowClass, nullptr)) != nullptr) {
    if (WindowUser(window) == user) return window;
  }
  return nullptr;
}

}  // namespace

SecondLaunch::~SecondLaunch() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool SecondLaunch::HandOver(const std::vector<std::string>& files) {
  const std::wstring user = OwnUser();
  if (user.empty()) return false;
  // The first launch of this user in this session holds the mutex for as long as it runs, so two
  // launches at once do not both become windows.
  mutex_ = CreateMutexW(nullptr, FALSE, (L"Local\\Vintrel-window-" + user).c_str());
  if (mutex_ == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return false;

  HWND target = nullptr;
  for (int waited = 0; (target = FindUsersWindow(user)) == nullptr && waited < kFindWindowMs; waited += 100)
    Sleep(100);
  // A name held by someone else's program, or a window gone meanwhile: be the window.
  if (target == nullptr) return false;
  const std::optional<std::string> message =
      vintrel::EncodeLaunchMessage(files, vintrel::LaunchClockMs() + kSendTimeoutMs - kDeadlineMarginMs);
  if (!message) return false;

  WNDCLASSEXW launchClass{};
  launchClass.cbSize = sizeof launchClass;
  launchClass.lpfnWndProc = DefWindowProcW;
  launchClass.hInstance = GetModuleHandleW(nullptr);
  launchClass.lpszClassName = kLaunchClass;
  RegisterClassExW(&launchClass);
  // The window names its sender by this window; its process's user is what the window checks.
  const HWND self = CreateWindowExW(0, kLaunchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    launchClass.hInstance, nullptr);
  if (self == nullptr) return false;
  DWORD targetProcess = 0;
  GetWindowThreadProcessId(target, &targetProcess);
  AllowSetForegroundWindow(targetProcess);
  COPYDATASTRUCT data{kLaunchTag, static_cast<DWORD>(message->size()), const_cast<char*>(message->data())};
  DWORD_PTR taken = 0;
  const LRESULT sent = SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(self),
                                           reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                           kSendTimeoutMs, &taken);
  DestroyWindow(self);
  if (sent != 0 && taken == TRUE) return true;
  MessageBoxW(nullptr,
              sent != 0 ? L"The Vintrel window that is already open did not take the files."
                        : L"The Vintrel window that is already open does not answer.",
              L"Vintrel", MB_OK | MB_ICONERROR);
  return true;  // a second window would only stand beside the hung one
}

std::optional<std::vector<std::string>> SecondLaunch::Receive(HWND window, WPARAM wParam, LPARAM lParam) {
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  const HWND sender = reinterpret_cast<HWND>(wParam);
  if (data == nullptr || data->dwData != kLaunchTag || sender == nullptr) return std::nullopt;
  // Only a launch window of a process of this user: another user's program on the same desktop
  // cannot fill this user's queue.
  if (!HasClass(sender, kLaunchClass)) return std::nullopt;
  const std::wstring user = OwnUser();
  if (user.empty() || WindowUser(sender) != user) return std::nullopt;
  auto message = vintrel::DecodeLaunchMessage(
      std::string_view(static_cast<const char*>(data->lpData), data->lpData != nullptr ? data->cbData : 0));
  if (!message || message->LateAt(vintrel::LaunchClockMs())) return std::nullopt;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  return std::move(message->files);
}

std::vector<std::string> AbsolutePaths(const std::vector<std::string>& paths) {
  std::vector<std::string> full;
  for (const std::string& path : paths) {
    const auto wide = vintrel::WideFromUtf8(path);
    if (!wide || wide->empty()) continue;
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetFullPathNameW(wide->c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) continue;
    buffer.resize(length);
    if (auto utf8 = vintrel::Utf8FromWide(buffer)) full.push_back(std::move(*utf8));
  }
  return full;
}
