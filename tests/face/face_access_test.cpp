#include "face/face_access.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "app/command_box.h"

namespace vintrel::face {
namespace {

KeyStroke Plain(Key key) {
  return {key};
}
KeyStroke Ctrl(Key key) {
  return {key, true};
}

TEST(FaceAccess, EveryControlHasItsOwnNameAndTheButtonsTheirTips) {
  std::set<std::string_view> names;
  for (const AccessibleControl& control : kTabOrder) {
    EXPECT_FALSE(control.name.empty());
    EXPECT_TRUE(names.insert(control.name).second) << control.name;
    if (control.role == Role::PushButton) {
      EXPECT_FALSE(control.description.empty()) << control.name;
    }
  }
  for (int action : {kActionAdd, kActionRemove, kActionStart}) {
    EXPECT_EQ(ControlAction(ActionControl(action)), action);
    EXPECT_EQ(Access(ActionControl(action)).description, kActionTips[static_cast<std::size_t>(action)]);
  }
  EXPECT_FALSE(ControlAction(Control::Browse));
}

TEST(FaceAccess, ShortcutsWorkFromAnywhereButAltBelongsToTheSystem) {
  for (std::optional<Control> focus :
       {std::optional<Control>(), std::optional(ControlOfPicker(Picker::FrameRate)),
        std::optional(Control::OutputPath), std::optional(Control::Exit)}) {
    EXPECT_EQ(CommandForKey(Plain(Key::Insert), focus, true), KeyCommand::Add);
    EXPECT_EQ(CommandForKey(Ctrl(Key::O), focus, true), KeyCommand::Add);
    EXPECT_EQ(CommandForKey(Ctrl(Key::Enter), focus, true), KeyCommand::Convert);
  }
  EXPECT_EQ(CommandForKey(Plain(Key::O), Control::List, true), KeyCommand::None);
  EXPECT_EQ(CommandForKey({Key::Insert, false, true}, Control::List, true), KeyCommand::None);
  EXPECT_EQ(CommandForKey({Key::Enter, true, true}, Control::List, true), KeyCommand::None);
}

TEST(FaceAccess, DeleteRemovesOnlyInTheListAndSpaceOrEnterPressOnlyButtons) {
  EXPECT_EQ(CommandForKey(Plain(Key::Delete), Control::List, true), KeyCommand::Remove);
  // In the path it edits the text.
  EXPECT_EQ(CommandForKey(Plain(Key::Delete), Control::OutputPath, true), KeyCommand::None);
  EXPECT_EQ(CommandForKey({Key::Delete, false, false, true}, Control::List, true), KeyCommand::None);
  for (Key key : {Key::Space, Key::Enter}) {
    EXPECT_EQ(CommandForKey(Plain(key), Control::Browse, true), KeyCommand::PressFocused);
    EXPECT_EQ(CommandForKey(Plain(key), ControlOfPicker(Picker::AudioBitrate), true), KeyCommand::None);
    EXPECT_EQ(CommandForKey(Plain(key), Control::List, true), KeyCommand::None);
    EXPECT_EQ(CommandForKey(Plain(key), std::nullopt, true), KeyCommand::None);
  }
  EXPECT_EQ(CommandForKey(Ctrl(Key::Space), Control::Add, true), KeyCommand::None);
  EXPECT_EQ(PressedBy(KeyCommand::PressFocused, Control::Exit), Control::Exit);
  EXPECT_EQ(PressedBy(KeyCommand::Remove, Control::List), Control::Remove);
  EXPECT_EQ(PressedBy(KeyCommand::None, Control::Add), std::nullopt);
}

TEST(FaceAccess, DuringABatchNoKeyDoesWhatTheMouseCannot) {
  for (Control control : {Control::Add, Control::Remove, Control::Convert, Control::Browse}) {
    EXPECT_EQ(CommandForKey(Plain(Key::Space), control, false), KeyCommand::None);
  }
  EXPECT_EQ(CommandForKey(Plain(Key::Space), Control::Minimise, false), KeyCommand::PressFocused);
  EXPECT_EQ(CommandForKey(Plain(Key::Enter), Control::Exit, false), KeyCommand::PressFocused);
  EXPECT_EQ(CommandForKey(Plain(Key::Insert), Control::Exit, false), KeyCommand::None);
  EXPECT_EQ(CommandForKey(Ctrl(Key::O), std::nullopt, false), KeyCommand::None);
  EXPECT_EQ(CommandForKey(Ctrl(Key::Enter), ControlOfPicker(Picker::VideoBitrate), false), KeyCommand::None);
  EXPECT_EQ(CommandForKey(Plain(Key::Delete), Control::List, false), KeyCommand::None);
}

// A face's table with two codes for Enter, as a keyboard's main and number-pad keys.
constexpr std::array<KeyCode, 4> kCodes{{{32, Key::Space}, {13, Key::Enter}, {3, Key::Enter}, {79, Key::O}}};

TEST(FaceAccess, AFacesKeyCodesDecideThroughTheTableAndAHeldKeyPressesOnce) {
  EXPECT_EQ(KeyOfCode(kCodes, 3), Key::Enter);
  EXPECT_EQ(KeyOfCode(kCodes, 45), Key::Other);
  KeyOutcome outcome = DecideKey(kCodes, {3, true}, std::nullopt, true);
  EXPECT_TRUE(outcome.taken);
  EXPECT_EQ(outcome.press, Control::Convert);
  outcome = DecideKey(kCodes, {32, false, false, false, true}, Control::Browse, true);
  EXPECT_TRUE(outcome.taken);
  EXPECT_EQ(outcome.press, std::nullopt);
  EXPECT_FALSE(DecideKey(kCodes, {45, true}, Control::Add, true).taken);  // unknown to the face
  EXPECT_FALSE(DecideKey(kCodes, {79, true}, Control::Add, false).taken);
  EXPECT_FALSE(DecideKey(kCodes, {79, true, true}, Control::Add, true).taken);
}

TEST(FaceAccess, PressingAControlRunsItsStepUnlessDisabled) {
  std::vector<std::string> steps;
  const ControlPresses presses{[&](int action) { steps.push_back("release " + std::to_string(action)); },
                               [&] { steps.push_back("browse"); }, [&] { steps.push_back("minimise"); },
                               nullptr};
  ButtonLooks looks;
  PressControl(Control::Remove, true, looks, presses);
  looks.ActionUp(kActionRemove);  // as the release goes on to do: a key leaves no hover
  EXPECT_EQ(looks.Action(kActionRemove), Look::Normal);
  PressControl(Control::Browse, false, looks, presses);
  PressControl(Control::Minimise, true, looks, presses);
  PressControl(Control::Exit, true, looks, presses);  // no step for it: nothing
  PressControl(Control::List, true, looks, presses);
  EXPECT_EQ(steps, (std::vector<std::string>{"release 1", "minimise"}));
  EXPECT_TRUE(DisabledDuringBatch(Control::Browse));
  EXPECT_FALSE(DisabledDuringBatch(Control::Exit));
}

TEST(FaceAccess, TheKeyboardGoesBackWhereABatchFoundIt) {
  const std::array<int, 3> affected{1, 2, 3};
  FocusBeforeBatch<int> focus;
  EXPECT_FALSE(focus.Leave(false, 7, affected));  // elsewhere: it stays there
  EXPECT_EQ(focus.Return(true), 0);
  EXPECT_FALSE(focus.Leave(true, 2, affected));
  EXPECT_TRUE(focus.Leave(false, 2, affected));
  EXPECT_EQ(focus.Return(false), 0);
  EXPECT_EQ(focus.Return(true), 2);
  EXPECT_EQ(focus.Return(true), 0);  // once
}

TEST(FaceLayout, ImagesHaveTheirPlacesAndPicturesForEachLook) {
  EXPECT_EQ(ToPixels(ImagePlace(Control::Convert)), ToPixels(kActionPlaces[kActionStart]));
  EXPECT_EQ(ToPixels(ImagePlace(Control::Browse)), ToPixels(kBrowsePlace));
  EXPECT_EQ(ToPixels(ImagePlace(Control::Minimise)), ToPixels(kMinPlace));
  EXPECT_EQ(ToPixels(ImagePlace(Control::Exit)), ToPixels(kExitPlace));
  EXPECT_EQ(ActionPicture(2, Look::Hover), "button_hover_2");
  EXPECT_EQ(ActionPicture(0, Look::Pressed), "button_push_0");
  EXPECT_EQ(ActionPicture(1, Look::Normal), "");
  EXPECT_EQ(SmallPictures(kBrowseImage)[Look::Pressed], "browse_push");
  EXPECT_EQ(SmallPictures(kFirstArrow + 3)[Look::Hover], "arrow_hover");
  EXPECT_EQ(kArrowPictures[Look::Normal], "arrow_normal");
  EXPECT_EQ(BarPercent(kFullBarTwips / 4), 25.0);
  EXPECT_EQ(BarPercent(2 * kFullBarTwips), 100.0);
}

// Every character is as wide as a pixel, a W three.
int Width(const std::wstring& text) {
  int width = 0;
  for (wchar_t c : text) width += c == L'W' ? 3 : 1;
  return width;
}

TEST(FaceLayout, ElideMiddleGivesUpTheFoldersBeforeTheName) {
  const std::wstring path = L"C:\\a\\bbbbbbbb\\clip.avi";
  EXPECT_EQ(ElideMiddle(path, 22, Width), path);
  EXPECT_EQ(ElideMiddle(path, 15, Width), L"C:\\a\\\u2026\\clip.avi");
  EXPECT_EQ(ElideMiddle(L"/x/WWW/name.mp4", 16, Width), L"/x/W\u2026/name.mp4");
  EXPECT_EQ(ElideMiddle(L"/x/WWW/name.mp4", 15, Width), L"/x/\u2026/name.mp4");
  EXPECT_EQ(ElideMiddle(L"/x/WWW/name.mp4", 10, Width), L"\u2026/name.mp4");
  // Too long a name: both of its ends.
  EXPECT_EQ(ElideMiddle(L"abcdefghij", 5, Width), L"ab\u2026ij");
  EXPECT_EQ(ElideMiddle(L"WWWWWW", 7, Width), L"W\u2026W");
  EXPECT_EQ(ElideMiddle(L"abcdefghij", 0, Width), L"\u2026");
}

}  // namespace
}  // namespace vintrel::face
