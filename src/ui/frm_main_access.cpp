// What the window offers a keyboard and a screen reader: names, roles and descriptions, the Tab
// order and the keys, as the face's table decides them for both windows.
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <array>

#include "frm_main.h"
#include "skin_image.h"

namespace face = vintrel::face;

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::array<face::KeyCode, 6> kQtKeys{{{Qt::Key_Space, face::Key::Space},
                                                {Qt::Key_Return, face::Key::Enter},
                                                {Qt::Key_Enter, face::Key::Enter},
                                                {Qt::Key_Insert, face::Key::Insert},
                                                {Qt::Key_Delete, face::Key::Delete},
                                                {Qt::Key_O, face::Key::O}}};

face::KeyPress Press(const QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  return {event->key(), modifiers.testFlag(Qt::ControlModifier), modifiers.testFlag(Qt::AltModifier),
          modifiers.testFlag(Qt::ShiftModifier), event->isAutoRepeat()};
}

}  // namespace

QWidget* frmMain::ControlWidget(face::Control control) const {
  if (const auto picker = face::PickerOfControl(control)) return Combo(*picker);
  if (const auto action = face::ControlAction(control)) return imgButton(*action);
  if (control == face::Control::List) return LV_;
  if (control == face::Control::OutputPath) return txtPath_;
  if (control == face::Control::Browse) return imgBrowse_;
  if (control == face::Control::Minimise) return imgMin_;
  return control == face::Control::Exit ? imgExit_ : nullptr;
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
  const QWidget* widget = ControlWidget(control);
  face::PressControl(control, widget != nullptr && widget->isEnabled(), looks_,
                     {[this](int action) { imgButton_MouseUp(action); }, [this] { imgBrowse_Click(); },
                      [this] { imgMin_Click(); }, [this] { imgExit_Click(); }});
}

bool frmMain::HandleKey(QObject* watched, QKeyEvent* event) {
  std::optional<face::Control> focus;
  for (const face::AccessibleControl& control : face::kTabOrder) {
    if (ControlWidget(control.control) == watched) focus = control.control;
  }
  const bool actionsEnabled = imgButton_[vintrel::kActionAdd]->isEnabled();
  const face::KeyOutcome outcome = face::DecideKey(kQtKeys, Press(event), focus, actionsEnabled);
  if (outcome.press) PressControl(*outcome.press);
  return outcome.taken;
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
