#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// The action index a command-box text names: its last character when that is a digit.
// Digits other than 0-2 come back as they are; the caller's dispatch ignores them.
std::optional<int> ActionFromCommandText(std::string_view text);

// The hidden text box another program writes to. Only a change of the text counts.
class CommandBox {
 public:
  static constexpr std::string_view kInitialText = "b0";

  // Holds the new text; returns whether it differs from the one held before.
  bool SetText(std::string_view text);
  // The action a new text asks for: none when the text did not change or names no digit.
  std::optional<int> Receive(std::string_view text);
  const std::string& Text() const { return text_; }

 private:
  std::string text_{kInitialText};
};

}  // namespace vintrel
