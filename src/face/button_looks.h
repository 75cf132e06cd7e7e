#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/command_box.h"
#include "app/pickers.h"

namespace vintrel::face {

enum class Look { Normal, Hover, Pressed };

// The small images with three looks of their own: the browse button, then the pickers' arrows by
// Picker.
enum SmallImage { kBrowseImage = 0, kFirstArrow };
inline constexpr int kSmallImageCount = kFirstArrow + static_cast<int>(kPickerCount);

// Which look every skinned button shows, and the two window flags that steer it. Each face maps
// the looks onto its own pictures after every call.
class ButtonLooks {
 public:
  Look Action(int index) const;
  Look Small(int image) const;
  bool fromCommandBox() const { return fromCommandBox_; }
  void SetFromCommandBox(bool value) { fromCommandBox_ = value; }
  bool buttonHeld() const { return buttonHeld_; }
  // A key pressed the button: as for the command box, the pointer is not on it.
  void SetFromKey(bool value) { fromKey_ = value; }

  // Action buttons. A release has two halves: the looks before the face repaints, then, once
  // it has, the end of the hold just before the action runs.
  void ActionDown(int index);
  void ActionMove(int index);
  void ActionUp(int index);
  void ReleaseSettled() { buttonHeld_ = false; }
  void ClearActions();
  // A batch starting leaves only the Start button without its look.
  void ClearAction(int index);

  // Browse and arrows: pressed on a press, hover on any movement, even with a button down.
  void SmallDown(int image);
  void SmallMove(int image);

  // The pointer crossed the bare window: everything back to normal, whatever is held.
  void FormMove();

 private:
  std::array<Look, kActionCount> actions_{};
  std::array<Look, kSmallImageCount> small_{};
  bool fromCommandBox_ = false;
  bool fromKey_ = false;
  bool buttonHeld_ = false;
};

// One image's pictures for its three looks, in a face's own kind of picture.
template <class Picture>
struct LookPictures {
  Picture normal;
  Picture hover;
  Picture pressed;
  const Picture& operator[](Look look) const {
    return look == Look::Hover ? hover : look == Look::Pressed ? pressed : normal;
  }
};

// The skin's pictures by the names both faces load them under. An action button's normal look is
// the skin itself, so it has no picture of its own (an empty name).
inline constexpr LookPictures<std::string_view> kBrowsePictures{"browse_normal", "browse_hover",
                                                                "browse_push"};
inline constexpr LookPictures<std::string_view> kArrowPictures{"arrow_normal", "arrow_hover", "arrow_push"};
const LookPictures<std::string_view>& SmallPictures(int image);
std::string ActionPicture(int index, Look look);

}  // namespace vintrel::face
