#pragma once

#include <functional>

#include "process/event_pump.h"

namespace vintrel::cli {

// Catches Ctrl+C (and SIGTERM) and turns it into one call of the interrupt hook, made from the
// runner's waits rather than from the signal handler. A second signal ends the program at once.
class InterruptPump : public EventPump {
 public:
  // Only the pump that `watches` installs the handlers; others (one per worker of a parallel
  // batch) act on the same signal.
  explicit InterruptPump(bool watches = true);
  ~InterruptPump() override;
  InterruptPump(const InterruptPump&) = delete;
  InterruptPump& operator=(const InterruptPump&) = delete;

  void DispatchPending() override;
  void WaitDispatching(int milliseconds) override;
  void WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) override;

  // The signal that arrived (SIGINT, SIGTERM), or 0.
  int Interrupted() const;

  std::function<void()> onInterrupt;

 private:
  bool watches_;
  bool hookCalled_ = false;
};

}  // namespace vintrel::cli
