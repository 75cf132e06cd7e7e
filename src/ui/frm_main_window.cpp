// The borderless window: its outline from the skin's key colour, the drag of its body, its place.
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "frm_main.h"
#include "skin_pictures.h"

void frmMain::ApplyWindowStyle() {
  const vintrel::Rgb key = vintrel::face::kKeyColour;
  maskColor_ = qRgb(key.red, key.green, key.blue);
  // The mask also gives the shape where no colour key exists (X11, Wayland) and keeps the outline
  // exact when a high-density skin is scaled.
  const QRegion shape = skin::Shape(maskColor_);
  if (!shape.isEmpty()) setMask(shape);
}

void frmMain::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin_);
}

void frmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_) return;
  placed_ = true;
  // Centred on first show, unless a place was chosen before.
  if (testAttribute(Qt::WA_Moved)) return;
  if (const QScreen* display = screen()) {
    const QRect area = display->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (onUnload) onUnload();
  QWidget::closeEvent(event);
}

void frmMain::mousePressEvent(QMouseEvent* event) {
  // Every mouse button drags the bare body.
  StartDrag(event->globalPosition());
  event->accept();
}

void frmMain::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && DragTo(event->globalPosition())) return;
  Form_MouseMove();
}

void frmMain::mouseReleaseEvent(QMouseEvent* event) {
  if (event->buttons() == Qt::NoButton) EndDrag();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && HandleKey(watched, static_cast<QKeyEvent*>(event))) return true;
  if (watched != lblVersion_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      StartDrag(static_cast<QMouseEvent*>(event)->globalPosition());
      return true;
    case QEvent::MouseMove:
      if (dragging_) DragTo(static_cast<QMouseEvent*>(event)->globalPosition());
      return true;
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) EndDrag();
      return true;
    default:
      return false;
  }
}

void frmMain::StartDrag(const QPointF& globalPos) {
  // The system's own move when the window system offers one; otherwise follow the pointer.
  QWindow* handle = windowHandle();
  if (handle != nullptr && handle->startSystemMove()) {
    dragging_ = false;
    return;
  }
  dragging_ = true;
  dragOffset_ = globalPos.toPoint() - pos();
}

bool frmMain::DragTo(const QPointF& globalPos) {
  if (!dragging_) return false;
  move(globalPos.toPoint() - dragOffset_);
  return true;
}

void frmMain::EndDrag() {
  dragging_ = false;
}
