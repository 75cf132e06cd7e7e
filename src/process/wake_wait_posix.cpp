#include <errno.h>
#include <poll.h>

#include <chrono>
#include <thread>
#include <vector>

#include "process/event_pump.h"

namespace vintrel {

bool WaitForWake(std::span<const WakeHandle> wake, int milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  std::vector<pollfd> fds;
  for (WakeHandle handle : wake) fds.push_back({static_cast<int>(handle), POLLIN, 0});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int result = poll(fds.data(), fds.size(), left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (result > 0) return true;
    if (result == 0) return false;
    if (errno != EINTR) {
      // Nothing to watch with: the plain sleep still keeps the caller's cadence.
      if (left.count() > 0) std::this_thread::sleep_for(left);
      return false;
    }
  }
}

}  // namespace vintrel
