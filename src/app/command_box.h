#pragma once

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

  // The action a new text asks for: none when the text did not change or names no digit.
  std::optional<int> Receive(std::string_view text);

 private:
  std::string text_{kInitialText};
};

}  // namespace vintrel
