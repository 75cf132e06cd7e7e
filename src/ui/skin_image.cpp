#include "skin_image.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

SkinImage::SkinImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  // A move over an image is the image's, never the bare window's.
  setAttribute(Qt::WA_NoMousePropagation);
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
  if (picture_.isNull()) return;
  QPainter painter(this);
  if (stretch_) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
  } else {
    painter.drawPixmap(0, 0, picture_);
  }
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
