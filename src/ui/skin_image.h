#pragma once

#include <QPixmap>
#include <QWidget>

class QMouseEvent;

// A windowless-looking image control: shows its picture, or nothing so the skin shows through.
// Reports every mouse event; Qt's implicit grab routes the release to the image that got the press.
class SkinImage : public QWidget {
  Q_OBJECT

 public:
  explicit SkinImage(QWidget* parent = nullptr);

  void setPicture(const QPixmap& picture);
  const QPixmap& picture() const { return picture_; }
  // Stretches the picture over the whole control instead of drawing it at its own size.
  void setStretch(bool stretch);
  bool stretch() const { return stretch_; }

 signals:
  void mouseDown(Qt::MouseButtons button, Qt::KeyboardModifiers shift, QPoint pos);
  void mouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, QPoint pos);
  void mouseUp(Qt::MouseButtons button, Qt::KeyboardModifiers shift, QPoint pos);
  // Left button pressed and released over the image.
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QPixmap picture_;
  bool stretch_ = false;
  bool leftPressed_ = false;
};
