#include "app/command_box.h"

namespace vintrel {

std::optional<int> ActionFromCommandText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char last = text.back();
  if (last < '0' || last > '9') return std::nullopt;
  return last - '0';
}

bool CommandBox::SetText(std::string_view text) {
  if (text == text_) return false;
  text_ = text;
  return true;
}

std::optional<int> CommandBox::Receive(std::string_view text) {
  if (!SetText(text)) return std::nullopt;
  return ActionFromCommandText(text_);
}

}  // namespace vintrel
