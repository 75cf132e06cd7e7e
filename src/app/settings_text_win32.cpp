#include <windows.h>

#include <algorithm>

#include "app/settings_text.h"
#include "base/wide_text_win32.h"

namespace vintrel {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                             nullptr, 0) > 0;
}

std::wstring WideFromAnsi(std::string_view text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size) != size)
    return {};
  return wide;
}

// Empty when the code page has no exact form for every character.
std::string AnsiFromWide(std::wstring_view wide) {
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                       static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                          text.data(), size, nullptr, &lossy) != size ||
      lossy) {
    return {};
  }
  return text;
}

}  // namespace

std::string FolderFromSettingsFile(std::string_view stored) {
  if (IsAscii(stored) || IsValidUtf8(stored)) return std::string(stored);
  const std::wstring wide = WideFromAnsi(stored);
  return wide.empty() ? std::string(stored) : Utf8FromWide(wide).value_or(std::string(stored));
}

std::string FolderForSettingsFile(std::string_view folder) {
  // With UTF-8 as the ANSI code page both forms are the same.
  if (IsAscii(folder) || GetACP() == CP_UTF8 || !IsValidUtf8(folder)) return std::string(folder);
  const std::string ansi = AnsiFromWide(WideFromUtf8(folder).value_or(std::wstring()));
  // Bytes that also form valid UTF-8 ("Ã©" in Windows-1252 is "é") would be read back as
  // other characters; such a folder, and one the code page cannot hold, stays in UTF-8.
  if (ansi.empty() || IsValidUtf8(ansi)) return std::string(folder);
  return ansi;
}

}  // namespace vintrel
