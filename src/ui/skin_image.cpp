#include "skin_image.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "face/face_access.h"

namespace {

class ButtonAccess : public QAccessibleWidget {
 public:
  explicit ButtonAccess(SkinImage* image) : QAccessibleWidget(image, QAccessible::Button) {}

  QStringList actionNames() const override {
    return QStringList{pressAction()} << QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action != pressAction()) return QAccessibleWidget::doAction(action);
    // Later, from the event loop: the press may open a modal dialog, and the screen reader
    // waits for this call to return.
    QPointer<SkinImage> image(static_cast<SkinImage*>(widget()));
    QTimer::singleShot(0, image, [image] {
      // As for the mouse: a disabled button does nothing.
      if (image && image->isEnabled()) emit image->accessiblePress();
    });
  }
};

class BarAccess : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit BarAccess(SkinImage* image) : QAccessibleWidget(image, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(Bar()->barValue(), 'f', 0) + QLatin1Char('%');
    return QAccessibleWidget::text(t);
  }
  // The bar shrinks to nothing at 0% and is still the progress.
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.invisible = false;
    return s;
  }
  QVariant currentValue() const override { return Bar()->barValue(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return 100.0; }
  QVariant minimumValue() const override { return 0.0; }
  QVariant minimumStepSize() const override { return 0.0; }

 private:
  SkinImage* Bar() const { return static_cast<SkinImage*>(widget()); }
};

class StatusAccess : public QAccessibleWidget {
 public:
  explicit StatusAccess(QLabel* label) : QAccessibleWidget(label, QAccessible::StatusBar) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<QLabel*>(widget())->text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* SkinImageAccess(const QString& className, QObject* object) {
  if (className == QLatin1String("StatusLabel")) return new StatusAccess(static_cast<StatusLabel*>(object));
  if (className != QLatin1String("SkinImage")) return nullptr;
  auto* image = static_cast<SkinImage*>(object);
  if (image->kind() == SkinImage::Kind::Button) return new ButtonAccess(image);
  if (image->kind() == SkinImage::Kind::Bar) return new BarAccess(image);
  return nullptr;
}

}  // namespace

SkinImage::SkinImage(QWidget* parent) : QWidget(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(SkinImageAccess);
    return true;
  }();
  (void)installed;
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  // A move over an image is the image's, never the bare window's.
  setAttribute(Qt::WA_NoMousePropagation);
}

void SkinImage::setKind(Kind kind) {
  kind_ = kind;
  // Only Tab gives a button focus: a click shows no mark, so the mouse user's picture stays.
  setFocusPolicy(kind == Kind::Button ? Qt::TabFocus : Qt::NoFocus);
}

void SkinImage::setBarValue(double percent) {
  if (percent == barValue_) return;
  barValue_ = percent;
  if (kind_ != Kind::Bar) return;
  QAccessibleValueChangeEvent event(this, percent);
  QAccessible::updateAccessibility(&event);
}

void SkinImage::setPicture(const QPixmap& picture) {
  if (picture.cacheKey() == picture_.cacheKey()) return;
  picture_ = picture;
  update();
}

void SkinImage::setStretch(bool stretch) {
  stretch_ = stretch;
  update();
}

void SkinImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (stretch_ && !picture_.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
  } else if (!picture_.isNull()) {
    painter.drawPixmap(0, 0, picture_);
  }
  if (!hasFocus()) return;
  // Drawn, not a picture: a one-pixel rounded line in the skin's blue, sharp at any density.
  const vintrel::Rgb colour = vintrel::face::kFocusColour;
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(colour.red, colour.green, colour.blue), 1.0, Qt::DotLine);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 3.0, 3.0);
}

void SkinImage::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void SkinImage::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void SkinImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) leftPressed_ = true;
  emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
  event->accept();
}

void SkinImage::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
  event->accept();
}

void SkinImage::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      event->button() == Qt::LeftButton && leftPressed_ && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) leftPressed_ = false;
  event->accept();
  // The release handler may run a whole batch or even delete this image.
  const QPointer<SkinImage> alive(this);
  emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
  if (click && alive) emit clicked();
}

void SkinImage::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press like any other.
  mousePressEvent(event);
}
