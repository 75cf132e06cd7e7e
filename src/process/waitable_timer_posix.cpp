#include <stdexcept>
#include <string>

#include "process/waitable_timer.h"

namespace vintrel {

// The pump owns the sleeping here: it is the one that knows how to wake for its own events.
void clsWaitableTimer::Wait(int MilliSeconds) {
  try {
    pump_.WaitDispatching(MilliSeconds > 0 ? MilliSeconds : 0);
  } catch (const std::exception& error) {
    throw std::runtime_error(std::string("[clsWaitableTimer.Wait]") + error.what());
  }
}

}  // namespace vintrel
