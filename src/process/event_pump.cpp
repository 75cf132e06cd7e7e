#include "process/event_pump.h"

#include <chrono>
#include <thread>

namespace vintrel {

void SleepingEventPump::WaitDispatching(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SleepingEventPump::WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) {
  WaitForWake(wake, milliseconds);
}

}  // namespace vintrel
