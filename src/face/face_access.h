#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "face/face_layout.h"

// What both windows offer a keyboard and a screen reader, decided once: the controls in Tab order
// with the names, roles and descriptions a reader announces, and what each key does.
namespace vintrel::face {

enum class Control {
  Add,
  Remove,
  Convert,
  List,
  PickerVBR,
  PickerSize,
  PickerFPS,
  PickerAB,
  OutputPath,
  Browse,
  Minimise,
  Exit
};
inline constexpr int kControlCount = 12;

enum class Role { PushButton, List, ComboBox, Text };

struct AccessibleControl {
  Control control;
  Role role;
  std::string_view name;
  std::string_view description;  // the tool tip, where there is one
};

// The captions painted on the skin name the controls under them.
inline constexpr std::array<AccessibleControl, kControlCount> kTabOrder{{
    {Control::Add, Role::PushButton, "Add New", kActionTips[0]},
    {Control::Remove, Role::PushButton, "Remove", kActionTips[1]},
    {Control::Convert, Role::PushButton, "Convert", kActionTips[2]},
    {Control::List, Role::List, "File List", ""},
    {Control::PickerVBR, Role::ComboBox, "Video Bitrate", kPickers[kPickerVBR].tip},
    {Control::PickerSize, Role::ComboBox, "Screen Size", kPickers[kPickerSize].tip},
    {Control::PickerFPS, Role::ComboBox, "FPS", kPickers[kPickerFPS].tip},
    {Control::PickerAB, Role::ComboBox, "Audio Bitrate", kPickers[kPickerAB].tip},
    {Control::OutputPath, Role::Text, "Output Path", ""},
    {Control::Browse, Role::PushButton, "Choose the output folder", kBrowseTip},
    {Control::Minimise, Role::PushButton, "Minimise", kMinTip},
    {Control::Exit, Role::PushButton, "Exit", kExitTip},
}};

const AccessibleControl& Access(Control control);
// The control of an action button, by ActionIndex; the action of a control, if it is one.
Control ActionControl(int actionIndex);
std::optional<int> ControlAction(Control control);

// The list's columns as the skin's header bar names them; the model's own header texts differ.
inline constexpr std::array<std::string_view, 2> kColumnNames{"File Name", "Format"};
inline constexpr std::string_view kProgressName = "Progress";
// The focus mark is drawn in the skin's own blue.
inline constexpr Rgb kFocusColour = kVersionColour;

enum class Key { Space, Enter, Insert, Delete, O, Other };
struct KeyStroke {
  Key key = Key::Other;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
};

enum class KeyCommand { None, PressFocused, Add, Remove, Convert };

// What a key does with `focus` holding the keyboard. While a batch runs (`actionsEnabled` false)
// no key does what the mouse cannot: the disabled buttons stay out of reach, minimise and exit
// do not. Alt combinations belong to the system (Alt+F4).
KeyCommand CommandForKey(KeyStroke stroke, std::optional<Control> focus, bool actionsEnabled);
// The control a command presses, as its mouse release would.
std::optional<Control> PressedBy(KeyCommand command, std::optional<Control> focus);

}  // namespace vintrel::face
