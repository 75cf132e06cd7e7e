#pragma once

#include <functional>

#include "process/event_pump.h"

namespace vintrel::cli {

// Catches Ctrl+C (and SIGTERM) and turns it into one call of the interrupt hook, made from the
// runner's waits rather than from the signal handler. A second signal ends the program at once.
class InterruptPump : public EventPump {
 public:
  InterruptPump();
  ~InterruptPump() override;
  InterruptPump(const InterruptPump&) = delete;
  InterruptPump& operator=(const InterruptPump&) = delete;

  void DispatchPending() override;
  void WaitDispatching(int milliseconds) override;

  // The signal that arrived (SIGINT, SIGTERM), or 0.
  int Interrupted() const;

  std::function<void()> onInterrupt;

 private:
  bool hookCalled_ = false;
};

}  // namespace vintrel::cli
