#include <windows.h>
// sddl.h and aclapi.h need windows.h first.
#include <aclapi.h>
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

// The SID of the user who runs the program, or empty.
std::vector<unsigned char> UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
  CloseHandle(token);
  if (!read) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  std::vector<unsigned char> copy(GetLengthSid(sid));
  if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

// Rights that let someone plant, replace or delete entries in a folder, or change who may.
constexpr ACCESS_MASK kFolderWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                           DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Why an existing folder is not this user's alone: owned by the user, the administrators or the
// system, and nobody else may write to it. Empty when it is.
std::string ExistingFolderProblem(const std::wstring& wide, const std::string& folder) {
  const std::vector<unsigned char> user = UserSid();
  const auto trusted = [&user](PSID sid) {
    return (!user.empty() && EqualSid(sid, const_cast<unsigned char*>(user.data()))) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
  };
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return "the access list of " + folder + " cannot be read";
  }
  std::string problem;
  if (owner == nullptr || !trusted(owner)) {
    problem = folder + " belongs to another user";
  } else if (dacl == nullptr) {
    problem = "others may write to " + folder;  // no list lets everyone in
  } else {
    for (DWORD i = 0; i < dacl->AceCount && problem.empty(); ++i) {
      void* entry = nullptr;
      if (!GetAce(dacl, i, &entry)) {
        problem = "the access list of " + folder + " cannot be read";
        break;
      }
      const auto* header = static_cast<const ACE_HEADER*>(entry);
      if (header->AceType == ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
      // Kinds of entries this check does not read are taken as letting others in.
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
          ((allowed->Mask & kFolderWriteRights) && !trusted(const_cast<DWORD*>(&allowed->SidStart)))) {
        problem = "others may write to " + folder;
      }
    }
  }
  LocalFree(descriptor);
  return problem;
}

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
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && ExistingFolderProblem(wide, folder).empty();
}

std::string PrivateFolderProblem(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(folder).value_or(std::wstring()).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return folder + " is not a folder";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return folder + " is a link, not a folder";
  return ExistingFolderProblem(WideFromUtf8(folder).value_or(std::wstring()), folder);
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
