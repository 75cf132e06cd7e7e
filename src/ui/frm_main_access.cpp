// What the window offers a keyboard and a screen reader: names, roles and descriptions, the Tab
// order and the keys, as the face's table decides them for both windows.
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "frm_main.h"
#include "skin_image.h"

namespace face = vintrel::face;

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

face::KeyStroke Stroke(const QKeyEvent* event) {
  face::KeyStroke stroke;
  switch (event->key()) {
    case Qt::Key_Space:
      stroke.key = face::Key::Space;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      stroke.key = face::Key::Enter;
      break;
    case Qt::Key_Insert:
      stroke.key = face::Key::Insert;
      break;
    case Qt::Key_Delete:
      stroke.key = face::Key::Delete;
      break;
    case Qt::Key_O:
      stroke.key = face::Key::O;
      break;
    default:
      break;
  }
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  stroke.ctrl = modifiers.testFlag(Qt::ControlModifier);
  stroke.alt = modifiers.testFlag(Qt::AltModifier);
  stroke.shift = modifiers.testFlag(Qt::ShiftModifier);
  return stroke;
}

}  // namespace

QWidget* frmMain::ControlWidget(face::Control control) const {
  if (const auto picker = face::PickerOfControl(control)) return Combo(*picker);
  switch (control) {
    case face::Control::Add:
      return imgButton_[vintrel::kActionAdd];
    case face::Control::Remove:
      return imgButton_[vintrel::kActionRemove];
    case face::Control::Convert:
      return imgButton_[vintrel::kActionStart];
    case face::Control::List:
      return LV_;
    case face::Control::OutputPath:
      return txtPath_;
    case face::Control::Browse:
      return imgBrowse_;
    case face::Control::Minimise:
      return imgMin_;
    case face::Control::Exit:
      return imgExit_;
    default:
      break;
  }
  return nullptr;
}

void frmMain::CreateAccess() {
  for (SkinImage* button : {imgButton_[0], imgButton_[1], imgButton_[2], imgBrowse_, imgMin_, imgExit_}) {
    button->setKind(SkinImage::Kind::Button);
  }
  imgPB_->setKind(SkinImage::Kind::Bar);
  imgPB_->setAccessibleName(Text(face::kProgressName));

  QWidget* previous = nullptr;
  for (const face::AccessibleControl& control : face::kTabOrder) {
    QWidget* widget = ControlWidget(control.control);
    widget->setAccessibleName(Text(control.name));
    widget->setAccessibleDescription(Text(control.description));
    widget->installEventFilter(this);
    if (control.role == face::Role::ComboBox || control.role == face::Role::Text) {
      // Qt on Linux names a combo box by its value and gives its label through a relation: a
      // buddy that is never shown, since the skin paints the caption.
      auto* caption = new QLabel(Text(control.name), this);
      caption->setBuddy(widget);
      caption->hide();
    }
    if (previous != nullptr) setTabOrder(previous, widget);
    previous = widget;
    if (auto* image = qobject_cast<SkinImage*>(widget)) {
      connect(image, &SkinImage::accessiblePress, this,
              [this, which = control.control] { PressControl(which); });
    }
  }
}

void frmMain::PressControl(face::Control control) {
  QWidget* widget = ControlWidget(control);
  // What the mouse cannot press during a batch, nothing else can either.
  if (widget == nullptr || !widget->isEnabled()) return;
  if (const auto action = face::ControlAction(control)) {
    looks_.SetFromKey(true);
    imgButton_MouseUp(*action);
    return;
  }
  if (control == face::Control::Browse) imgBrowse_Click();
  if (control == face::Control::Minimise) imgMin_Click();
  if (control == face::Control::Exit) imgExit_Click();
}

bool frmMain::HandleKey(QObject* watched, QKeyEvent* event) {
  std::optional<face::Control> focus;
  for (const face::AccessibleControl& control : face::kTabOrder) {
    if (ControlWidget(control.control) == watched) focus = control.control;
  }
  const bool actionsEnabled = imgButton_[vintrel::kActionAdd]->isEnabled();
  const face::KeyCommand command = face::CommandForKey(Stroke(event), focus, actionsEnabled);
  if (command == face::KeyCommand::None) return false;
  // A held key presses once.
  if (event->isAutoRepeat()) return true;
  if (const auto control = face::PressedBy(command, focus)) PressControl(*control);
  return true;
}

void frmMain::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(this, event)) QWidget::keyPressEvent(event);
}

frmMain::KeepFocus::KeepFocus(frmMain& frm) : frm_(&frm), focus_(frm.focusWidget()) {}

frmMain::KeepFocus::~KeepFocus() {
  if (!frm_ || !frm_->isVisible()) return;
  frm_->activateWindow();
  if (focus_ && focus_->isEnabled()) focus_->setFocus(Qt::OtherFocusReason);
}
