#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "console.h"
#include "platform.h"
#include "stop_watch.h"

namespace conv::platform {
namespace {

std::mutex gMutex;
// Filled before the stop watcher can need them; changed only under gMutex.
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

}  // namespace

namespace stop_watch {

std::mutex& Guard() {
  return gMutex;
}

void Arm(const NativePath& path) {
  if (path.size() >= std::size(gArmedPath)) return;
  std::wmemcpy(gArmedPath, path.c_str(), path.size() + 1);
  gArmed = true;
}

void Disarm() {
  gArmed = false;
}

void MarkCommitted() {
  gCommitted = true;
  gArmed = false;
}

}  // namespace stop_watch

void HandleStopRequests(const std::string& lastLine) {
  std::snprintf(gLastLine, sizeof gLastLine, "%s\r\n", lastLine.c_str());
  gLastLineLength = static_cast<DWORD>(std::strlen(gLastLine));
  // A backstop only: without it, Windows ends the process and the pending file still goes with
  // its handle. Nothing stands for SIGPIPE and SIGXFSZ here: such writes simply fail.
  (void)SetConsoleCtrlHandler(OnStopRequest, TRUE);
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

}  // namespace conv::platform
