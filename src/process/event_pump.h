#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vintrel {

// Something a wait may end early for: a descriptor that became readable (or hung up) on POSIX,
// a handle that became signalled on Windows.
using WakeHandle = std::intptr_t;

// How a synchronous run keeps its owner alive. The window plugs in Qt's event loop; the CLI
// and the tests plug in a plain one.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Runs every event that is waiting, then returns.
  virtual void DispatchPending() = 0;
  // Sleeps about `milliseconds`, dispatching events that arrive meanwhile. Never spins.
  virtual void WaitDispatching(int milliseconds) = 0;
  // The same wait, ending as soon as one of `wake` is ready. A pump that cannot watch them
  // waits the whole time, which is slower but still right.
  virtual void WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) {
    (void)wake;
    WaitDispatching(milliseconds);
  }
};

// Where the runner's critical messages go: message boxes in the window, stderr in the CLI.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Critical(const std::string& text) = 0;
};

// A pump with nothing to dispatch: waiting is a plain sleep.
class SleepingEventPump : public EventPump {
 public:
  void DispatchPending() override {}
  void WaitDispatching(int milliseconds) override;
  void WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) override;
};

// Sleeps up to `milliseconds`, or less when one of `wake` is ready; true when one was.
bool WaitForWake(std::span<const WakeHandle> wake, int milliseconds);

}  // namespace vintrel
