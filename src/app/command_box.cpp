#include "app/command_box.h"

#include <utility>

namespace vintrel {

std::optional<int> ActionFromCommandText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char last = text.back();
  if (last < '0' || last > '9') return std::nullopt;
  return last - '0';
}

bool CommandBox::Changed(std::string_view text) {
  if (text == text_) return false;
  text_ = text;
  return true;
}

std::optional<int> CommandBox::Receive(std::string_view text) {
  if (!Changed(text)) return std::nullopt;
  return ActionFromCommandText(text_);
}

void CommandBoxGate::Offer(std::string text) {
  waiting_ = std::move(text);
  if (Idle()) RunWaiting();
}

void CommandBoxGate::Leave() {
  if (--busy_ == 0 && waiting_) RunWaiting();
}

// A loop, not recursion: a text that arrives while another runs waits and is taken here.
void CommandBoxGate::RunWaiting() {
  while (waiting_ && Idle()) {
    const std::string text = std::move(*waiting_);
    waiting_.reset();
    ++busy_;
    if (run_) run_(text);
    --busy_;
  }
}

}  // namespace vintrel
