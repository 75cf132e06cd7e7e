#include "app/command_box.h"

namespace vintrel {

std::optional<int> ActionFromCommandText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char last = text.back();
  if (last < '0' || last > '9') return std::nullopt;
  return last - '0';
}

std::optional<int> CommandBox::Receive(std::string_view text) {
  if (text == text_) return std::nullopt;
  text_ = text;
  return ActionFromCommandText(text_);
}

}  // namespace vintrel
