#include "face/face_access.h"

#include "app/command_box.h"

namespace vintrel::face {

// Access() indexes the table by the control.
static_assert([] {
  for (std::size_t i = 0; i < kTabOrder.size(); ++i) {
    if (static_cast<std::size_t>(kTabOrder[i].control) != i) return false;
  }
  return true;
}());

const AccessibleControl& Access(Control control) {
  return kTabOrder[static_cast<std::size_t>(control)];
}

Control ActionControl(int actionIndex) {
  if (actionIndex == kActionRemove) return Control::Remove;
  if (actionIndex == kActionStart) return Control::Convert;
  return Control::Add;
}

std::optional<int> ControlAction(Control control) {
  switch (control) {
    case Control::Add:
      return kActionAdd;
    case Control::Remove:
      return kActionRemove;
    case Control::Convert:
      return kActionStart;
    default:
      return std::nullopt;
  }
}

bool DisabledDuringBatch(Control control) {
  return ControlAction(control).has_value() || control == Control::Browse;
}

KeyCommand CommandForKey(KeyStroke stroke, std::optional<Control> focus, bool actionsEnabled) {
  if (stroke.alt) return KeyCommand::None;
  KeyCommand command = KeyCommand::None;
  if (stroke.key == Key::Enter && stroke.ctrl) {
    command = KeyCommand::Convert;
  } else if ((stroke.key == Key::O && stroke.ctrl) || (stroke.key == Key::Insert && !stroke.ctrl)) {
    command = KeyCommand::Add;
  } else if (stroke.key == Key::Delete && !stroke.ctrl && !stroke.shift && focus == Control::List) {
    command = KeyCommand::Remove;
  } else if ((stroke.key == Key::Space || stroke.key == Key::Enter) && !stroke.ctrl && focus &&
             Access(*focus).role == Role::PushButton) {
    if (!actionsEnabled && DisabledDuringBatch(*focus)) return KeyCommand::None;
    return KeyCommand::PressFocused;
  }
  return actionsEnabled ? command : KeyCommand::None;
}

std::optional<Control> PressedBy(KeyCommand command, std::optional<Control> focus) {
  switch (command) {
    case KeyCommand::PressFocused:
      return focus;
    case KeyCommand::Add:
      return Control::Add;
    case KeyCommand::Remove:
      return Control::Remove;
    case KeyCommand::Convert:
      return Control::Convert;
    case KeyCommand::None:
      break;
  }
  return std::nullopt;
}

Twips ImagePlace(Control control) {
  if (const auto action = ControlAction(control)) return kActionPlaces[static_cast<std::size_t>(*action)];
  if (control == Control::Browse) return kBrowsePlace;
  if (control == Control::Minimise) return kMinPlace;
  return kExitPlace;
}

Key KeyOfCode(std::span<const KeyCode> codes, int code) {
  for (const KeyCode& entry : codes) {
    if (entry.code == code) return entry.key;
  }
  return Key::Other;
}

KeyOutcome DecideKey(std::span<const KeyCode> codes, KeyPress press, std::optional<Control> focus,
                     bool actionsEnabled) {
  const KeyStroke stroke{KeyOfCode(codes, press.code), press.ctrl, press.alt, press.shift};
  const KeyCommand command = CommandForKey(stroke, focus, actionsEnabled);
  if (command == KeyCommand::None) return {};
  if (press.autoRepeat) return {true, std::nullopt};
  return {true, PressedBy(command, focus)};
}

void PressControl(Control control, bool enabled, ButtonLooks& looks, const ControlPresses& presses) {
  if (!enabled) return;
  if (const auto action = ControlAction(control)) {
    looks.SetFromKey(true);
    if (presses.release) presses.release(*action);
    return;
  }
  const std::function<void()>* step = control == Control::Browse     ? &presses.browse
                                      : control == Control::Minimise ? &presses.minimise
                                      : control == Control::Exit     ? &presses.exit
                                                                     : nullptr;
  if (step != nullptr && *step) (*step)();
}

}  // namespace vintrel::face
