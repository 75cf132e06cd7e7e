#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "face/button_looks.h"
#include "face/face_layout.h"

// What both windows offer a keyboard and a screen reader, decided once: the controls in Tab order
// with the names, roles and descriptions a reader announces, and what each key does.
namespace vintrel::face {

// The pickers' controls come by Picker between the list and the output path.
enum class Control {
  Add,
  Remove,
  Convert,
  List,
  FirstPicker,
  OutputPath = FirstPicker + static_cast<int>(kPickerCount),
  Browse,
  Minimise,
  Exit
};
inline constexpr int kControlCount = static_cast<int>(Control::Exit) + 1;

constexpr Control ControlOfPicker(Picker picker) {
  return static_cast<Control>(static_cast<int>(Control::FirstPicker) + static_cast<int>(Index(picker)));
}
constexpr std::optional<Picker> PickerOfControl(Control control) {
  const int offset = static_cast<int>(control) - static_cast<int>(Control::FirstPicker);
  if (offset < 0 || offset >= static_cast<int>(kPickerCount)) return std::nullopt;
  return static_cast<Picker>(offset);
}

enum class Role { PushButton, List, ComboBox, Text };

struct AccessibleControl {
  Control control;
  Role role;
  std::string_view name;
  std::string_view description;  // the tool tip, where there is one
};

// The captions painted on the skin name the controls under them.
inline constexpr std::array<AccessibleControl, kControlCount> kTabOrder = [] {
  std::array<AccessibleControl, kControlCount> order{};
  std::size_t next = 0;
  for (const AccessibleControl& control : {
           AccessibleControl{Control::Add, Role::PushButton, "Add New", kActionTips[0]},
           AccessibleControl{Control::Remove, Role::PushButton, "Remove", kActionTips[1]},
           AccessibleControl{Control::Convert, Role::PushButton, "Convert", kActionTips[2]},
           AccessibleControl{Control::List, Role::List, "File List", ""},
       }) {
    order[next++] = control;
  }
  for (const PickerRow& row : kPickerRows) {
    order[next++] = {ControlOfPicker(row.picker), Role::ComboBox, row.caption, row.tip};
  }
  for (const AccessibleControl& control : {
           AccessibleControl{Control::OutputPath, Role::Text, "Output Path", ""},
           AccessibleControl{Control::Browse, Role::PushButton, "Choose the output folder", kBrowseTip},
           AccessibleControl{Control::Minimise, Role::PushButton, "Minimise", kMinTip},
           AccessibleControl{Control::Exit, Role::PushButton, "Exit", kExitTip},
       }) {
    order[next++] = control;
  }
  return order;
}();

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

// A face's own code for a key the table knows; a key may have more than one.
struct KeyCode {
  int code = 0;
  Key key = Key::Other;
};
Key KeyOfCode(std::span<const KeyCode> codes, int code);

// A key press as a face sees it: its toolkit's code, the modifiers, whether it repeats.
struct KeyPress {
  int code = 0;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool autoRepeat = false;
};
// What the press does: left to the toolkit (not taken), or taken, pressing `press` when set. A
// held key presses once.
struct KeyOutcome {
  bool taken = false;
  std::optional<Control> press;
};
KeyOutcome DecideKey(std::span<const KeyCode> codes, KeyPress press, std::optional<Control> focus,
                     bool actionsEnabled);

// Where an image button (an action, Browse, Minimise, Exit) lies.
Twips ImagePlace(Control control);

// The buttons a batch disables along with the list: the actions and Browse.
bool DisabledDuringBatch(Control control);

// Where the keyboard was when a batch disabled the control holding it, in a face's own handles:
// it goes back there when the batch is over.
template <class Handle>
class FocusBeforeBatch {
 public:
  // The controls in `affected` are being enabled or not; true when they lose the keyboard now.
  template <class Range>
  bool Leave(bool enabled, Handle focus, const Range& affected) {
    if (enabled || !focus) return false;
    for (const auto& control : affected) {
      if (focus == control) {
        held_ = focus;
        return true;
      }
    }
    return false;
  }
  // Where the keyboard goes back to once they are enabled again; empty otherwise.
  Handle Return(bool enabled) {
    if (!enabled) return Handle{};
    return std::exchange(held_, Handle{});
  }

 private:
  Handle held_{};
};

// What pressing a button does in a face, from a key or a screen reader, as its mouse release would.
struct ControlPresses {
  std::function<void(int action)> release;  // imgButton_MouseUp
  std::function<void()> browse;
  std::function<void()> minimise;
  std::function<void()> exit;
};
// `enabled`: whether the control takes presses now; what the mouse cannot press during a batch,
// nothing else can either. A key's release leaves no hover on the button.
void PressControl(Control control, bool enabled, ButtonLooks& looks, const ControlPresses& presses);

}  // namespace vintrel::face
