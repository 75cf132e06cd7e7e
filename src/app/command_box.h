#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// Action indexes shared by the buttons, their picture stores and the command box.
enum ActionIndex { kActionAdd = 0, kActionRemove = 1, kActionStart = 2 };
inline constexpr int kActionCount = 3;

// The action index a command-box text names: its last character when that is a digit.
// Digits other than 0-2 come back as they are; the caller's dispatch ignores them.
std::optional<int> ActionFromCommandText(std::string_view text);

// The hidden text box another program writes to. Only a change of the text counts: a face whose
// box reports every setting of its text (a Win32 EDIT) asks here whether it was a change.
class CommandBox {
 public:
  static constexpr std::string_view kInitialText = "b0";

  // Whether the text differs from the last one seen; any change is a press of the box, which
  // marks the release as the box's even when the text names no button.
  bool Changed(std::string_view text);
  // The action a new text asks for: none when the text did not change or names no digit.
  std::optional<int> Receive(std::string_view text);

 private:
  std::string text_{kInitialText};
};

// Box texts arrive while the window runs nested event loops: an action, a batch, a modal
// dialog. Run nested, a burst of them stacks dialogs until the stack overflows. The gate runs
// one text at a time and only while the window is idle; while it is busy, the latest text waits
// (earlier ones are dropped) and runs once the outermost busy stretch ends.
class CommandBoxGate {
 public:
  explicit CommandBoxGate(std::function<void(const std::string&)> run) : run_(std::move(run)) {}
  CommandBoxGate(const CommandBoxGate&) = delete;
  CommandBoxGate& operator=(const CommandBoxGate&) = delete;

  // Marks the window busy for its lifetime (an action, a modal dialog).
  class Busy {
   public:
    explicit Busy(CommandBoxGate& gate) : gate_(gate) { ++gate_.busy_; }
    ~Busy() { gate_.Leave(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    CommandBoxGate& gate_;
  };

  void Offer(std::string text);
  bool Idle() const { return busy_ == 0; }
  const std::optional<std::string>& Waiting() const { return waiting_; }

 private:
  void Leave();
  void RunWaiting();

  std::function<void(const std::string&)> run_;
  int busy_ = 0;
  std::optional<std::string> waiting_;
};

}  // namespace vintrel
