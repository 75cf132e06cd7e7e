#include <exception>
#include <string>

#include "process/waitable_timer.h"

namespace vintrel {

// The pump owns the sleeping here: it is the one that knows how to wake for its own events.
std::string clsWaitableTimer::Wait(int MilliSeconds, std::span<const WakeHandle> wake) {
  try {
    const int milliseconds = MilliSeconds > 0 ? MilliSeconds : 0;
    if (wake.empty()) {
      pump_.WaitDispatching(milliseconds);
    } else {
      pump_.WaitDispatchingOrWake(milliseconds, wake);
    }
    return {};
  } catch (const std::exception& error) {
    // A face's handler broke the seam's rule; pass it on as the wait's own failure.
    return std::string("[clsWaitableTimer.Wait]") + error.what();
  }
}

}  // namespace vintrel
