#include "process/event_pump.h"

#include <chrono>
#include <thread>

namespace vintrel {

void SleepingEventPump::WaitDispatching(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace vintrel
