#include "cli/interrupt_pump.h"

#include <algorithm>

#include "cli/interrupt_signal.h"

namespace vintrel::cli {

InterruptPump::InterruptPump(bool watches) : watches_(watches) {
  if (watches_) WatchInterrupts();
}

InterruptPump::~InterruptPump() {
  if (watches_) StopWatchingInterrupts();
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
  WaitDispatchingOrWake(milliseconds, {});
}

void InterruptPump::WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) {
  // Short slices so a Ctrl+C is acted on within a few milliseconds.
  constexpr int kSlice = 10;
  for (int left = milliseconds; left > 0; left -= kSlice) {
    DispatchPending();
    if (WaitForWake(wake, std::min(left, kSlice))) break;
  }
  DispatchPending();
}

}  // namespace vintrel::cli
