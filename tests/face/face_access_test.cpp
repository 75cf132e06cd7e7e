#include "face/face_access.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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

}  // namespace
}  // namespace vintrel::face
