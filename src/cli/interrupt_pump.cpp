#include "cli/interrupt_pump.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

namespace vintrel::cli {

namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnSignal(int signal) {
  if (gSignal != 0) {
    // Second request: the user wants out even if the encoder does not stop.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gSignal = signal;
}

void Install(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
}

}  // namespace

InterruptPump::InterruptPump() {
  gSignal = 0;
  Install(OnSignal);
}

InterruptPump::~InterruptPump() {
  Install(SIG_DFL);
}

int InterruptPump::Interrupted() const {
  return gSignal;
}

void InterruptPump::DispatchPending() {
  if (gSignal != 0 && !hookCalled_) {
    hookCalled_ = true;
    if (onInterrupt) onInterrupt();
  }
}

void InterruptPump::WaitDispatching(int milliseconds) {
  // Short slices so a Ctrl+C is acted on within a few milliseconds.
  constexpr int kSlice = 10;
  for (int left = milliseconds; left > 0; left -= kSlice) {
    DispatchPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSlice)));
  }
  DispatchPending();
}

}  // namespace vintrel::cli
