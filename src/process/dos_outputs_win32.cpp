#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/wide_text_win32.h"
#include "process/child_process.h"

namespace vintrel {
namespace {

// What a console process reports when it is ended by Ctrl+C; used for Stop() as well.
constexpr UINT kStoppedExitCode = 0xC000013A;
constexpr DWORD kCleanupWaitMs = 5000;
// The default pipe buffer is a few KiB: with a 50 ms pause between polls that would throttle a
// talkative child. This matches the usual POSIX pipe.
constexpr DWORD kPipeBufferBytes = 64 * 1024;

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  HANDLE* Out() { return &handle_; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

class Win32Child : public ChildProcess {
 public:
  Win32Child(HANDLE process, HANDLE readEnd) : process_(process), readEnd_(readEnd) {}

  ~Win32Child() override {
    if (exited_) return;
    TerminateProcess(process_.Get(), kStoppedExitCode);
    WaitForSingleObject(process_.Get(), kCleanupWaitMs);
  }

  ReadResult ReadWaiting(char* buffer, std::size_t capacity) override {
    DWORD waiting = 0;
    if (!PeekNamedPipe(readEnd_.Get(), nullptr, 0, nullptr, &waiting, nullptr)) {
      return {GetLastError() == ERROR_BROKEN_PIPE ? ReadState::Closed : ReadState::Failed, 0};
    }
    if (waiting == 0) return {ReadState::Empty, 0};
    // Only what is known to be waiting, so the read returns at once.
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, waiting));
    DWORD count = 0;
    if (!ReadFile(readEnd_.Get(), buffer, wanted, &count, nullptr)) {
      return {GetLastError() == ERROR_BROKEN_PIPE ? ReadState::Closed : ReadState::Failed, 0};
    }
    return {count > 0 ? ReadState::Data : ReadState::Empty, count};
  }

  bool HasExited() override {
    if (exited_) return true;
    if (WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    status_ = {ExitStatus::Kind::Exited, static_cast<int>(code), 0};
    exited_ = true;
    return true;
  }

  ExitStatus Status() const override { return status_; }

  void Terminate(bool) override {
    if (!exited_) TerminateProcess(process_.Get(), kStoppedExitCode);
  }

  // An anonymous pipe cannot be waited on: output is still found by the poll, the exit at once.
  std::vector<WakeHandle> WakeHandles(bool) const override {
    return {reinterpret_cast<WakeHandle>(process_.Get())};
  }

 private:
  Handle process_;
  Handle readEnd_;
  bool exited_ = false;
  ExitStatus status_;
};

// Limits what the child inherits to the handles meant for it: another run started meanwhile
// on another thread must not receive our pipe, or our run would never see its end.
class InheritList {
 public:
  bool Prepare(HANDLE* handles, DWORD count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
    list_ = list;
    return UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                     count * sizeof(HANDLE), nullptr, nullptr) != FALSE;
  }
  ~InheritList() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

 private:
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

void PrepareForChildProcesses() {}

StartResult StartChildProcess(const std::string& commandLine) {
  StartResult result;
  const std::optional<std::wstring> converted = WideFromUtf8(commandLine);
  std::wstring command = converted.value_or(std::wstring());

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle readEnd;
  Handle writeEnd;
  if (!CreatePipe(readEnd.Out(), writeEnd.Out(), &inheritable, kPipeBufferBytes)) {
    result.failure = StartResult::Failure::Pipe;
    result.errorCode = GetLastError();
    return result;
  }
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  if (!converted || command.empty()) {
    result.failure = StartResult::Failure::NotFound;
    return result;
  }
  Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                           OPEN_EXISTING, 0, nullptr));

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = input.Get();
  startup.StartupInfo.hStdOutput = writeEnd.Get();
  startup.StartupInfo.hStdError = writeEnd.Get();
  HANDLE inherited[] = {writeEnd.Get(), input.Get()};
  InheritList inheritList;
  DWORD flags = CREATE_NO_WINDOW;
  if (inheritList.Prepare(inherited, input.Get() != nullptr ? 2 : 1)) {
    startup.lpAttributeList = inheritList.Get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  } else {
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
  }

  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                      &startup.StartupInfo, &process)) {
    result.failure = StartResult::Failure::NotFound;
    return result;
  }
  CloseHandle(process.hThread);
  writeEnd.Reset();  // only the child holds the write end now, so its exit ends the stream
  result.child = std::make_unique<Win32Child>(process.hProcess, readEnd.Release());
  return result;
}

}  // namespace vintrel
