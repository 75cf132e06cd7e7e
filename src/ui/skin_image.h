#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

class QMouseEvent;

// A windowless-looking image control: shows its picture, or nothing so the skin shows through.
// Reports every mouse event; Qt's implicit grab routes the release to the image that got the press.
// As a button it takes focus by Tab, shows a focus mark and is a push button to screen readers;
// as a bar it is a progress bar whose value (0-100) it reports.
class SkinImage : public QWidget {
  Q_OBJECT

 public:
  enum class Kind { Picture, Button, Bar };

  explicit SkinImage(QWidget* parent = nullptr);

  void setKind(Kind kind);
  Kind kind() const { return kind_; }
  void setBarValue(double percent);
  double barValue() const { return barValue_; }

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
  // A screen reader's press action on a button.
  void accessiblePress();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QPixmap picture_;
  bool stretch_ = false;
  bool leftPressed_ = false;
  Kind kind_ = Kind::Picture;
  double barValue_ = 0.0;
};

// A label that screen readers treat as the window's status: its text is its name, and every new
// text (the percentage, "Done.", "Stopped.") raises a name change that they announce.
class StatusLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
};
