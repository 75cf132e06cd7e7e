#include "version_resource.h"

#include <windows.h>

#include <cstring>

std::optional<FileVersion> OwnFileVersion() {
  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
  if (found == nullptr) return std::nullopt;
  const HGLOBAL loaded = LoadResource(self, found);
  const DWORD size = SizeofResource(self, found);
  const auto* bytes = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  if (bytes == nullptr) return std::nullopt;
  // The fixed part starts with its signature, after the block's header and key; reading it
  // directly spares the program version.dll.
  constexpr DWORD kSignature = 0xFEEF04BD;
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    DWORD signature = 0;
    std::memcpy(&signature, bytes + at, sizeof(signature));
    if (signature != kSignature) continue;
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, bytes + at, sizeof(info));
    return FileVersion{HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                       HIWORD(info.dwFileVersionLS)};
  }
  return std::nullopt;
}
