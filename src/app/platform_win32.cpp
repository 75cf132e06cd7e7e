#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "app/platform.h"
#include "base/wide_text_win32.h"

namespace vintrel {
namespace {

std::string Environment(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  if (length == 0 || length >= size) return {};
  value.resize(length);
  return Utf8FromWide(value).value_or(std::string());
}

std::wstring RandomSuffix() {
  static std::random_device device;
  static std::mt19937_64 engine(device());
  wchar_t text[20];
  std::swprintf(text, 20, L"%016llx", static_cast<unsigned long long>(engine()));
  return text;
}

// Creates a new file that did not exist before; INVALID_HANDLE_VALUE when that is impossible.
HANDLE CreateFreshFile(const std::wstring& stem, std::wstring& created, DWORD flags) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    created = stem + RandomSuffix();
    HANDLE file = CreateFileW(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

// An access list that lets the user who runs the program (and the system) alone into a folder
// made with it; nothing is inherited from the parent.
class PrivateSecurity {
 public:
  PrivateSecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    LPWSTR sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")(A;OICI;FA;;;SY)";
      LocalFree(sid);
      if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_,
                                                                nullptr)) {
        descriptor_ = nullptr;
      }
    }
    CloseHandle(token);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  ~PrivateSecurity() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  // Null when the list could not be made: the folder then gets the usual inherited one.
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::string ApplicationFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const auto cut = path.find_last_of(L"\\/");
      if (cut == std::wstring::npos) return {};
      // A drive root keeps its separator: "C:\".
      path.erase(cut == 2 && path[1] == L':' ? cut + 1 : cut);
      return Utf8FromWide(path).value_or(std::string());
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool IsFolderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::wstring probe;
  HANDLE file = CreateFreshFile(WideFromUtf8(JoinPath(folder, ".vintrel-probe-")).value_or(std::wstring()),
                                probe, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

AppPaths ResolveAppPaths(const std::string& applicationFolder) {
  PlatformFacts facts;
  facts.windows = true;
  facts.applicationFolderWritable = IsFolderWritable(applicationFolder);
  facts.home = Environment(L"USERPROFILE");
  facts.configHome = Environment(L"APPDATA");
  return ResolveAppPathsFrom(applicationFolder, facts);
}

bool CreatePrivateFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::wstring wide = WideFromUtf8(folder).value_or(std::wstring());
  if (wide.empty()) return false;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const auto cut = wide.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0 && wide[cut - 1] != L':') {
      CreatePrivateFolder(Utf8FromWide(wide.substr(0, cut)).value_or(std::string()));
    }
    PrivateSecurity security;
    CreateDirectoryW(wide.c_str(), security.Attributes());
    attributes = GetFileAttributesW(wide.c_str());
  }
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string PrivateFolderProblem(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(folder).value_or(std::wstring()).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return folder + " is not a folder";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return folder + " is a link, not a folder";
  return {};
}

bool ReplaceFileContents(const std::string& file, std::string_view content) {
  const std::wstring target = WideFromUtf8(file).value_or(std::wstring());
  if (target.empty()) return false;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  std::wstring temporary;
  HANDLE handle = CreateFreshFile(target + L".tmp-", temporary, FILE_ATTRIBUTE_NORMAL);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(handle, content) && FlushFileBuffers(handle);
  ok = CloseHandle(handle) && ok;
  ok = ok &&
       MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

}  // namespace vintrel
