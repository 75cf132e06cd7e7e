#include "edge_win32.h"
#include "platform.h"

namespace conv::platform {

std::optional<FileFacts> LookAt(const std::string& path, std::string* reason) {
  const std::wstring wide = win32::Wide(path);
  // No access asked for: only the facts are read, and a file open elsewhere can still be looked at.
  win32::UniqueHandle file(
      wide.empty() ? INVALID_HANDLE_VALUE
                   : CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const DWORD error = wide.empty() ? ERROR_INVALID_NAME : GetLastError();
  if (!file.Valid()) {
    if (reason) *reason = win32::SystemError(error);
    return std::nullopt;
  }
  FileFacts facts;
  BY_HANDLE_FILE_INFORMATION info{};
  // Devices (NUL, CON, pipes) have no such information: they are neither files nor folders.
  if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info))
    return facts;
  facts.kind =
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileFacts::Kind::Folder : FileFacts::Kind::Regular;
  facts.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  facts.identity = {info.dwVolumeSerialNumber,
                    (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return facts;
}

}  // namespace conv::platform
