#pragma once

#include <string>

#include "process/event_pump.h"

namespace vintrel {

// Pauses the calling thread for a while without freezing its owner: events that arrive during
// the pause are dispatched through the pump. Each wait uses its own timer, so waits nested in
// the handlers of another wait, or waits of other copies of the program, never cut each other
// short. Re-entrant: a handler may start another wait on the same instance.
class clsWaitableTimer {
 public:
  explicit clsWaitableTimer(EventPump& pump) : pump_(pump) {}
  clsWaitableTimer(const clsWaitableTimer&) = delete;
  clsWaitableTimer& operator=(const clsWaitableTimer&) = delete;

  // Returns once `MilliSeconds` have elapsed (at once for 0 or less), or earlier once one of
  // `wake` is ready: an empty text, or on any failure "[clsWaitableTimer.Wait]" followed by the
  // cause. The timer is released either way.
  [[nodiscard]] std::string Wait(int MilliSeconds, std::span<const WakeHandle> wake = {});

 private:
  EventPump& pump_;
};

}  // namespace vintrel
