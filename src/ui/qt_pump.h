#pragma once

#include "process/event_pump.h"

// The runner's waits inside Qt: pending events run, and a wait is a local event loop that a
// timer ends, so the window stays live while the encoder works.
class QtEventPump : public vintrel::EventPump {
 public:
  void DispatchPending() override;
  void WaitDispatching(int milliseconds) override;
  void WaitDispatchingOrWake(int milliseconds, std::span<const vintrel::WakeHandle> wake) override;
};
