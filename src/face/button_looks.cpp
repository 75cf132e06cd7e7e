#include "face/button_looks.h"

namespace vintrel::face {

namespace {
template <std::size_t N>
bool Valid(int index) {
  return index >= 0 && index < static_cast<int>(N);
}
}  // namespace

Look ButtonLooks::Action(int index) const {
  return Valid<kActionCount>(index) ? actions_[static_cast<std::size_t>(index)] : Look::Normal;
}

Look ButtonLooks::Small(int image) const {
  return Valid<kSmallImageCount>(image) ? small_[static_cast<std::size_t>(image)] : Look::Normal;
}

void ButtonLooks::ClearActions() {
  actions_.fill(Look::Normal);
}

void ButtonLooks::ClearAction(int index) {
  if (Valid<kActionCount>(index)) actions_[static_cast<std::size_t>(index)] = Look::Normal;
}

void ButtonLooks::ActionDown(int index) {
  ClearActions();
  if (Valid<kActionCount>(index)) actions_[static_cast<std::size_t>(index)] = Look::Pressed;
  buttonHeld_ = true;
}

void ButtonLooks::ActionMove(int index) {
  if (buttonHeld_) return;
  ClearActions();
  if (Valid<kActionCount>(index)) actions_[static_cast<std::size_t>(index)] = Look::Hover;
}

void ButtonLooks::ActionUp(int index) {
  ClearActions();
  // The pointer of a command-box or key release is nowhere near the button.
  if (!fromCommandBox_ && !fromKey_ && Valid<kActionCount>(index))
    actions_[static_cast<std::size_t>(index)] = Look::Hover;
  fromCommandBox_ = false;
  fromKey_ = false;
}

void ButtonLooks::SmallDown(int image) {
  if (Valid<kSmallImageCount>(image)) small_[static_cast<std::size_t>(image)] = Look::Pressed;
}

void ButtonLooks::SmallMove(int image) {
  if (Valid<kSmallImageCount>(image)) small_[static_cast<std::size_t>(image)] = Look::Hover;
}

void ButtonLooks::FormMove() {
  ClearActions();
  small_.fill(Look::Normal);
}

const LookPictures<std::string_view>& SmallPictures(int image) {
  return image == kBrowseImage ? kBrowsePictures : kArrowPictures;
}

std::string ActionPicture(int index, Look look) {
  if (look == Look::Normal) return {};
  return (look == Look::Hover ? "button_hover_" : "button_push_") + std::to_string(index);
}

}  // namespace vintrel::face
