#pragma once

#include <string>

namespace vintrel {

// How a synchronous run keeps its owner alive. The window plugs in Qt's event loop; the CLI
// and the tests plug in a plain one.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Runs every event that is waiting, then returns.
  virtual void DispatchPending() = 0;
  // Sleeps about `milliseconds`, dispatching events that arrive meanwhile. Never spins.
  virtual void WaitDispatching(int milliseconds) = 0;
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
};

}  // namespace vintrel
