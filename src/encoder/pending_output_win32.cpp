#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>
#include <utility>

#include "edge_win32.h"
#include "encode_error.h"
#include "platform.h"
#include "stop_watch.h"

namespace conv::platform {
namespace {

using win32::ErrnoFor;
using win32::SystemError;
using win32::UniqueHandle;
using win32::Wide;

// "<folder>\<name>.part-" followed by six random letters, beside the final name.
std::wstring TemporaryName(const std::wstring& finalPath) {
  static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 random(std::random_device{}());
  const size_t slash = finalPath.find_last_of(L"\\/:");
  const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  std::wstring name = finalPath.substr(start);
  // Leave room under the 255-character name limit.
  if (name.empty() || name.size() > 200) name = L"conv";
  std::wstring suffix(6, L'x');
  for (wchar_t& c : suffix) c = kLetters[random() % (sizeof kLetters / sizeof kLetters[0] - 1)];
  return finalPath.substr(0, start) + name + L".part-" + suffix;
}

// While set, the file goes when its last handle closes, also when the process is terminated.
bool MarkForDeletion(HANDLE file, bool deletion) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = deletion ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != FALSE;
}

// The final file is an ordinary one: neither hidden nor kept out of the search index.
bool Unhide(HANDLE file) {
  FILE_BASIC_INFO info{};  // times left at zero stay as they are
  info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != FALSE;
}

class Win32Output final : public PendingOutput {
 public:
  explicit Win32Output(std::string finalPath);
  ~Win32Output() override;

  int Write(const std::uint8_t* data, int size) override;
  std::int64_t Seek(std::int64_t offset, int whence) override;
  int Read(std::uint8_t* data, int size) override;
  int Truncate(std::int64_t size) override;
  void Commit(bool replace) override;

 private:
  [[noreturn]] void Fail(const std::string& what, DWORD error) const;

  std::string finalPath_;
  std::wstring wideFinal_;
  std::wstring temporary_;  // empty once it carries the final name
  UniqueHandle file_;
  bool markedForDeletion_ = false;
};

Win32Output::Win32Output(std::string finalPath)
    : finalPath_(std::move(finalPath)), wideFinal_(Wide(finalPath_)) {
  if (wideFinal_.empty()) throw EncodeError(finalPath_, "the name is not valid Unicode text");
  for (int attempt = 0; attempt < 100 && !file_.Valid(); ++attempt) {
    std::wstring path = TemporaryName(wideFinal_);
    std::lock_guard lock(stop_watch::Guard());
    // Others may only rename or remove it: that is how it gets its final name.
    file_.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
    if (!file_.Valid()) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
        Fail("cannot create a file in its folder", error);
      continue;
    }
    temporary_ = std::move(path);
    // Even a process terminated outright leaves nothing behind. Where the file system cannot
    // do this, the name is removed on every other way out.
    markedForDeletion_ = MarkForDeletion(file_.Get(), true);
    stop_watch::Arm(temporary_);
  }
  if (!file_.Valid()) Fail("cannot create a file in its folder", ERROR_FILE_EXISTS);
}

Win32Output::~Win32Output() {
  std::lock_guard lock(stop_watch::Guard());
  file_.Reset();
  if (temporary_.empty()) return;
  if (!markedForDeletion_) (void)DeleteFileW(temporary_.c_str());
  stop_watch::Disarm();
}

void Win32Output::Fail(const std::string& what, DWORD error) const {
  throw EncodeError(finalPath_, what + ": " + SystemError(error));
}

int Win32Output::Write(const std::uint8_t* data, int size) {
  for (int done = 0; done < size;) {
    DWORD written = 0;
    if (!WriteFile(file_.Get(), data + done, static_cast<DWORD>(size - done), &written, nullptr))
      return -ErrnoFor(GetLastError());
    done += static_cast<int>(written);
  }
  return size;
}

std::int64_t Win32Output::Seek(std::int64_t offset, int whence) {
  const DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_CUR ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER at{};
  if (!SetFilePointerEx(file_.Get(), distance, &at, method)) return -ErrnoFor(GetLastError());
  return at.QuadPart;
}

int Win32Output::Read(std::uint8_t* data, int size) {
  DWORD read = 0;
  if (!ReadFile(file_.Get(), data, static_cast<DWORD>(size), &read, nullptr))
    return -ErrnoFor(GetLastError());
  return static_cast<int>(read);
}

int Win32Output::Truncate(std::int64_t size) {
  const std::int64_t at = Seek(size, SEEK_SET);
  if (at < 0) return static_cast<int>(at);
  return SetEndOfFile(file_.Get()) ? 0 : -ErrnoFor(GetLastError());
}

void Win32Output::Commit(bool replace) {
  if (!Unhide(file_.Get()) || !FlushFileBuffers(file_.Get())) Fail("cannot save the output", GetLastError());
  std::lock_guard lock(stop_watch::Guard());
  // Until the move is done, a process ended outright would leave the file under its temporary
  // name: a moment here instead of the whole run.
  if (markedForDeletion_ && !MarkForDeletion(file_.Get(), false))
    Fail("cannot save the output", GetLastError());
  // Without replacing, an existing name makes the move fail: the check and the naming are one step.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(temporary_.c_str(), wideFinal_.c_str(), flags)) {
    const DWORD error = GetLastError();
    if (markedForDeletion_) markedForDeletion_ = MarkForDeletion(file_.Get(), true);
    if (ErrnoFor(error) == EEXIST) throw EncodeError(finalPath_, "already exists (add -y to replace it)");
    Fail("cannot give the output its name", error);
  }
  temporary_.clear();
  stop_watch::MarkCommitted();
}

}  // namespace

std::unique_ptr<PendingOutput> CreatePendingOutput(const std::string& finalPath) {
  return std::make_unique<Win32Output>(finalPath);
}

}  // namespace conv::platform
