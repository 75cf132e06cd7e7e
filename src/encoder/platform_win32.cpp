#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <random>

#include "console.h"
#include "encode_error.h"
#include "platform.h"

namespace conv::platform {
namespace {

// Naming the output and the stop handler's look at it are each one step.
std::mutex gMutex;
// Filled before the stop handler can need them; changed only under gMutex.
wchar_t gArmedPath[32768];
bool gArmed = false;
bool gCommitted = false;
char gLastLine[4352];
DWORD gLastLineLength = 0;

// Stands for the reader of the console going away; no console event has this number.
constexpr DWORD kUnheardEvent = 0xFFFF;

// The stop requests as the signals they stand for on POSIX: SIGINT, SIGBREAK, SIGHUP.
int StatusFor(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return 128 + 2;
    case CTRL_BREAK_EVENT:
      return 128 + 21;
    case kUnheardEvent:
      return kUnheardStatus;
    default:
      return 128 + 1;
  }
}

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnStopRequest(DWORD event) {
  gMutex.lock();  // kept until the end: nothing is named or removed any more
  if (gCommitted) TerminateProcess(GetCurrentProcess(), 0);
  // Usually already marked for deletion, and then this fails: the handle closing with the
  // process removes it.
  if (gArmed) (void)DeleteFileW(gArmedPath);
  console::Silence();
  DWORD written = 0;
  (void)WriteFile(GetStdHandle(STD_ERROR_HANDLE), gLastLine, gLastLineLength, &written, nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(StatusFor(event)));
  return TRUE;
}

DWORD WINAPI StopUnheardThread(LPVOID) {
  return static_cast<DWORD>(OnStopRequest(kUnheardEvent));
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length)
    return {};
  return wide;
}

std::optional<std::string> Utf8(const wchar_t* text) {
  const int length =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string narrow(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, narrow.data(), length, nullptr, nullptr) !=
      length)
    return std::nullopt;
  narrow.pop_back();  // the terminating NUL
  return narrow;
}

// The common failures as errno values, so FFmpeg and the messages speak as on POSIX.
int ErrnoFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

std::string SystemError(DWORD error) {
  if (ErrnoFor(error) != EIO) return std::strerror(ErrnoFor(error));
  return "system error " + std::to_string(error);
}

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
    std::lock_guard lock(gMutex);
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
    if (temporary_.size() < std::size(gArmedPath)) {
      std::wmemcpy(gArmedPath, temporary_.c_str(), temporary_.size() + 1);
      gArmed = true;
    }
  }
  if (!file_.Valid()) Fail("cannot create a file in its folder", ERROR_FILE_EXISTS);
}

Win32Output::~Win32Output() {
  std::lock_guard lock(gMutex);
  file_.Reset();
  if (temporary_.empty()) return;
  if (!markedForDeletion_) (void)DeleteFileW(temporary_.c_str());
  gArmed = false;
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
  std::lock_guard lock(gMutex);
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
  gArmed = false;
  gCommitted = true;
}

struct LocalFreer {
  void operator()(wchar_t** p) const { (void)LocalFree(p); }
};

}  // namespace

std::optional<std::vector<std::string>> Arguments(int, char**) {
  // The C runtime's argv is in the ANSI code page, which cannot hold every file name.
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) return std::nullopt;
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    std::optional<std::string> arg = Utf8(wide.get()[i]);
    if (!arg) return std::nullopt;
    args.push_back(std::move(*arg));
  }
  return args;
}

std::optional<FileFacts> LookAt(const std::string& path, std::string* reason) {
  const std::wstring wide = Wide(path);
  // No access asked for: only the facts are read, and a file open elsewhere can still be looked at.
  UniqueHandle file(wide.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const DWORD error = wide.empty() ? ERROR_INVALID_NAME : GetLastError();
  if (!file.Valid()) {
    if (reason) *reason = SystemError(error);
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

void HandleStopRequests(const std::string& lastLine) {
  std::snprintf(gLastLine, sizeof gLastLine, "%s\r\n", lastLine.c_str());
  gLastLineLength = static_cast<DWORD>(std::strlen(gLastLine));
  // A backstop only: without it, Windows ends the process and the pending file still goes with
  // its handle. Nothing stands for SIGPIPE and SIGXFSZ here: such writes simply fail.
  (void)SetConsoleCtrlHandler(OnStopRequest, TRUE);
}

bool ReaderGone(int error) {
  const DWORD last = GetLastError();
  // Windows says ERROR_NO_DATA for a pipe whose reader closed it; wine ERROR_PIPE_NOT_CONNECTED.
  return error == EPIPE || last == ERROR_NO_DATA || last == ERROR_BROKEN_PIPE ||
         last == ERROR_PIPE_NOT_CONNECTED;
}

void StopUnheard() {
  // A thread of its own, as the system gives a console event: the caller may hold the console.
  HANDLE thread = CreateThread(nullptr, 0, StopUnheardThread, nullptr, 0, nullptr);
  if (thread != nullptr) {
    CloseHandle(thread);
  } else {
    // Without a thread the pending file still goes with its handle when the process ends.
    TerminateProcess(GetCurrentProcess(), kUnheardStatus);
  }
}

bool ConsoleReaderGone() {
  return false;
}

void LimitMemory(std::size_t bytes) {
  // A job of our own: jobs nest, so a tighter limit set from outside still holds. Thread stacks
  // are only reserved until used, so unlike on POSIX they need no shrinking.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limits.ProcessMemoryLimit = bytes;
  // A backstop only, as on POSIX; the job lives as long as the process, so its handle is kept.
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess())) {
    (void)CloseHandle(job);
  }
}

std::unique_ptr<PendingOutput> CreatePendingOutput(const std::string& finalPath) {
  return std::make_unique<Win32Output>(finalPath);
}

}  // namespace conv::platform
