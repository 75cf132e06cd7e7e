#include <windows.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "app/shutdown.h"
#include "base/wide_text_win32.h"

namespace vintrel {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

Handle OpenEntry(const std::wstring& path, DWORD access, DWORD share) {
  // The entry itself, even when it is a link or a junction.
  const HANDLE handle = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::optional<std::wstring> FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace

void RemoveEntry(const std::string& file) {
  const std::optional<std::wstring> wide = WideFromUtf8(file);
  if (!wide) return;
  const std::size_t cut = wide->find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut + 1 >= wide->size()) return;
  // "c:\tmpfile.3gp" lies in "c:\", not in "c:".
  const std::wstring folderName = wide->substr(0, cut > 0 && (*wide)[cut - 1] == L':' ? cut + 1 : cut);
  // Held without sharing deletion, the folder cannot be renamed or replaced until the delete is done.
  const Handle folder = OpenEntry(folderName, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  BY_HANDLE_FILE_INFORMATION folderInfo{};
  if (!folder || !GetFileInformationByHandle(folder.get(), &folderInfo) ||
      !(folderInfo.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (folderInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return;
  }
  const std::optional<std::wstring> folderPath = FinalPath(folder.get());
  const Handle entry =
      OpenEntry(*wide, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!folderPath || !entry) return;
  const std::optional<std::wstring> entryPath = FinalPath(entry.get());
  std::wstring expected = *folderPath;
  if (!expected.empty() && expected.back() != L'\\') expected += L'\\';
  expected += wide->substr(cut + 1);
  if (!entryPath || !SameText(*entryPath, expected)) return;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  // Whether it worked shows in the caller's next look at the name.
  SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition, sizeof disposition);
}

void CleanUpOnTermination(const TemporaryFiles&) {}

}  // namespace vintrel
