// The encoder's side of the Win32 API that several platform files need: UTF-16 text, system
// errors spoken as errno values, and handles that close themselves.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace conv::platform::win32 {

// Empty when `text` is empty or not UTF-8.
std::wstring Wide(const std::string& text);
// Nothing when `text` is not valid UTF-16.
std::optional<std::string> Utf8(const wchar_t* text);

// The common failures as errno values, so FFmpeg and the messages speak as on POSIX; EIO for
// the rest.
int ErrnoFor(DWORD error);
// The reason to show for `error`.
std::string SystemError(DWORD error);

// Closes the handle it holds when it goes.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    // A close error cannot be acted on: the handle is gone either way.
    if (Valid()) (void)CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

}  // namespace conv::platform::win32
