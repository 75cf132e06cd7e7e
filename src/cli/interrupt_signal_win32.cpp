#include <windows.h>

#include <atomic>
#include <csignal>

#include "cli/interrupt_signal.h"

namespace vintrel::cli {
namespace {

std::atomic<int> gSignal{0};

// Runs on a thread of its own that the system starts for each console event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool keyboard = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  int none = 0;
  // Second request: FALSE lets the default handler end the program.
  if (!gSignal.compare_exchange_strong(none, keyboard ? SIGINT : SIGTERM)) return FALSE;
  if (!keyboard) {
    // A closing console ends the program as soon as this returns: give the batch the moment it
    // needs to stop the encoder. The program's own exit ends this wait early.
    Sleep(3000);
  }
  return TRUE;
}

}  // namespace

void WatchInterrupts() {
  gSignal = 0;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void StopWatchingInterrupts() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

int InterruptSignal() {
  return gSignal.load();
}

}  // namespace vintrel::cli
