#include "cli/interrupt_pump.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "cli/interrupt_signal.h"

namespace vintrel::cli {

InterruptPump::InterruptPump() {
  WatchInterrupts();
}

InterruptPump::~InterruptPump() {
  StopWatchingInterrupts();
}

int InterruptPump::Interrupted() const {
  return InterruptSignal();
}

void InterruptPump::DispatchPending() {
  if (InterruptSignal() != 0 && !hookCalled_) {
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
