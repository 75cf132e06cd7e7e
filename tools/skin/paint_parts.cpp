#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <algorithm>

#include "art.h"

namespace art {

namespace {

struct DiscColours {
  QColor top, bottom, rim;
};

const DiscColours kDiscs[3] = {
    {QColor(0x6c, 0xcc, 0x5c), QColor(0x2c, 0x8c, 0x2a), QColor(0x23, 0x6e, 0x21)},
    {QColor(0xf2, 0x74, 0x68), QColor(0xc0, 0x36, 0x2c), QColor(0x93, 0x28, 0x20)},
    {QColor(0x62, 0xa8, 0xf0), QColor(0x22, 0x64, 0xb8), QColor(0x1a, 0x4d, 0x8e)},
};

const char* const kActionCaptions[3] = {"Add New", "Remove", "Convert"};

void PaintDisc(QPainter& p, const QPointF& centre, qreal radius, int index) {
  const DiscColours& c = kDiscs[index];
  QLinearGradient fill(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
  fill.setColorAt(0, c.top);
  fill.setColorAt(1, c.bottom);
  p.setPen(QPen(c.rim, 1.0));
  p.setBrush(fill);
  p.drawEllipse(centre, radius - 0.5, radius - 0.5);

  // Gloss on the upper half.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 70));
  p.drawEllipse(QRectF(centre.x() - radius * 0.68, centre.y() - radius * 0.86, radius * 1.36, radius * 0.9));

  p.setBrush(Qt::white);
  const qreal arm = radius * 0.56;
  const qreal bar = radius * 0.26;
  if (index == 0 || index == 1) {
    p.drawRoundedRect(QRectF(centre.x() - arm, centre.y() - bar, arm * 2, bar * 2), bar * 0.6, bar * 0.6);
  }
  if (index == 0) {
    p.drawRoundedRect(QRectF(centre.x() - bar, centre.y() - arm, bar * 2, arm * 2), bar * 0.6, bar * 0.6);
  }
  if (index == 2) {
    QPainterPath play;
    play.moveTo(centre.x() - radius * 0.32, centre.y() - radius * 0.5);
    play.lineTo(centre.x() + radius * 0.55, centre.y());
    play.lineTo(centre.x() - radius * 0.32, centre.y() + radius * 0.5);
    play.closeSubpath();
    p.drawPath(play);
  }
}

void PaintRaisedSurface(QPainter& p, const QRectF& rect, qreal radius, const QColor& top,
                        const QColor& bottom, const QColor& rim, const QColor& shine) {
  QLinearGradient fill(0, rect.top(), 0, rect.bottom());
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.setPen(QPen(rim, 1.0));
  p.setBrush(fill);
  p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  p.setPen(QPen(shine, 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
}

}  // namespace

void PaintActionContent(QPainter& p, const QRectF& rect, int index, Look look) {
  const qreal shift = look == Look::Pressed ? 1.0 : 0.0;
  const QFont font = CaptionFont(11, true);
  const QString caption = QString::fromLatin1(kActionCaptions[index]);
  const qreal textWidth = QFontMetricsF(font).horizontalAdvance(caption);
  const qreal disc = 20;
  const qreal gap = 5;
  const qreal left = rect.left() + (rect.width() - (disc + gap + textWidth)) / 2 + shift;
  const qreal middle = rect.top() + rect.height() / 2 + shift;
  PaintDisc(p, QPointF(left + disc / 2, middle), disc / 2, index);
  const QColor ink = look == Look::Pressed ? QColor(Qt::white) : kInk;
  Text(p, QRectF(left + disc + gap, rect.top() + shift, textWidth + 4, rect.height()),
       Qt::AlignLeft | Qt::AlignVCenter, caption, 11, true, ink);
}

QImage PaintActionButton(const QImage& skin, int scale, int index, Look look) {
  const QRect control = kActionButtonRects[index];
  // The Add pictures are two pixels wider than their control; the face stays inside the control.
  const QRect area(control.topLeft(), QSize(index == 0 ? 92 : 86, 30));
  QImage image = Crop(skin, area, scale);
  PaintOver(image, scale, [&](QPainter& p) {
    const QRectF face(0, 0, control.width(), control.height());
    if (look == Look::Pressed) {
      PaintRaisedSurface(p, face, 4, QColor(0x3f, 0x78, 0xb6), QColor(0x27, 0x57, 0x8e),
                         QColor(0x1c, 0x43, 0x70), QColor(255, 255, 255, 40));
    } else {
      PaintRaisedSurface(p, face, 4, QColor(0xff, 0xff, 0xff), QColor(0xd9, 0xe8, 0xf7),
                         QColor(0x7c, 0xa3, 0xcc), QColor(255, 255, 255, 200));
    }
    PaintActionContent(p, face, index, look);
  });
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage PaintArrow(int scale, Look look) {
  QImage image = Render(QSize(18, 19), scale, Qt::white, [look](QPainter& p) {
    QColor top(0xf4, 0xf8, 0xfc), bottom(0xd2, 0xe1, 0xf0), ink = kInk;
    if (look == Look::Hover) top = QColor(0xff, 0xff, 0xff), bottom = QColor(0xdf, 0xed, 0xfb), ink = kAccent;
    if (look == Look::Pressed) top = QColor(0xbf, 0xd4, 0xea), bottom = QColor(0xae, 0xc8, 0xe3);
    QLinearGradient fill(0, 0, 0, 19);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.fillRect(QRectF(0, 0, 18, 19), fill);
    p.fillRect(QRectF(0, 0, 1, 19), QColor(0xa9, 0xbd, 0xd3));
    if (look != Look::Pressed) p.fillRect(QRectF(1, 0, 1, 19), QColor(255, 255, 255, 180));
    const qreal shift = look == Look::Pressed ? 1.0 : 0.0;
    QPainterPath arrow;
    arrow.moveTo(5.5 + shift, 8 + shift);
    arrow.lineTo(13.5 + shift, 8 + shift);
    arrow.lineTo(9.5 + shift, 12.5 + shift);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(arrow);
  });
  return image.convertToFormat(QImage::Format_RGB32);
}

void PaintBrowseFace(QPainter& p, const QRectF& rect, Look look) {
  QColor ink = kInk;
  if (look == Look::Normal) {
    PaintRaisedSurface(p, rect, 3, QColor(0xfb, 0xfd, 0xff), QColor(0xd8, 0xe4, 0xf1), kFrame,
                       QColor(255, 255, 255, 190));
  } else if (look == Look::Hover) {
    PaintRaisedSurface(p, rect, 3, QColor(0xff, 0xff, 0xff), QColor(0xe2, 0xee, 0xfb),
                       QColor(0x5f, 0x8f, 0xc2), QColor(255, 255, 255, 220));
    ink = kAccent;
  } else {
    PaintRaisedSurface(p, rect, 3, QColor(0xbd, 0xd2, 0xe9), QColor(0xaa, 0xc4, 0xe1),
                       QColor(0x4f, 0x7a, 0xa8), QColor(255, 255, 255, 50));
  }
  const qreal shift = look == Look::Pressed ? 1.0 : 0.0;
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  const QPointF centre = rect.center() + QPointF(shift, shift + 1);
  for (int i = -1; i <= 1; ++i) p.drawEllipse(QPointF(centre.x() + i * 6, centre.y()), 1.6, 1.6);
}

QImage PaintBrowse(const QImage& skin, int scale, Look look) {
  QImage image = Crop(skin, kBrowseRect, scale);
  PaintOver(image, scale, [look](QPainter& p) { PaintBrowseFace(p, QRectF(0, 0, 42, 22), look); });
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage PaintProgressStrip(int scale) {
  QImage image = Render(QSize(1, 15), scale, Qt::white, [](QPainter& p) {
    QLinearGradient fill(0, 0, 0, 15);
    fill.setColorAt(0.0, QColor(0xa8, 0xe6, 0x98));
    fill.setColorAt(0.35, QColor(0x62, 0xc4, 0x55));
    fill.setColorAt(0.6, QColor(0x3f, 0xa8, 0x3a));
    fill.setColorAt(1.0, QColor(0x2d, 0x86, 0x2b));
    p.fillRect(QRectF(0, 0, 1, 15), fill);
  });
  return image.convertToFormat(QImage::Format_RGB32);
}

void PaintIconArt(QPainter& p, qreal size) {
  // The outline keeps its one pixel up to 48 and grows with larger icons.
  const qreal outline = std::max<qreal>(1.0, size / 48);
  const QRectF box(outline / 2, outline / 2, size - outline, size - outline);
  QLinearGradient fill(0, 0, 0, size);
  fill.setColorAt(0, QColor(0x4f, 0x9a, 0xea));
  fill.setColorAt(1, QColor(0x1d, 0x4f, 0x8c));
  p.setPen(QPen(QColor(0x16, 0x3d, 0x6c), outline));
  p.setBrush(fill);
  p.drawRoundedRect(box, size * 0.2, size * 0.2);
  p.setPen(Qt::NoPen);
  if (size >= 32) {
    // Film perforations along both edges.
    p.setBrush(QColor(255, 255, 255, 150));
    const qreal hole = size / 12;
    for (int i = 0; i < 4; ++i) {
      const qreal y = size * (0.2 + 0.2 * i);
      p.drawRoundedRect(QRectF(size * 0.1, y, hole, hole), hole / 4, hole / 4);
      p.drawRoundedRect(QRectF(size * 0.9 - hole, y, hole, hole), hole / 4, hole / 4);
    }
  }
  QPainterPath play;
  play.moveTo(size * 0.36, size * 0.27);
  play.lineTo(size * 0.72, size * 0.5);
  play.lineTo(size * 0.36, size * 0.73);
  play.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(play);
}

QImage PaintIcon(int size) {
  QImage image =
      Render(QSize(size, size), 1, Qt::transparent, [size](QPainter& p) { PaintIconArt(p, size); });
  if (size == 16) {
    // The small icon is a 256-colour image.
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdAlphaDither | Qt::AvoidDither);
  }
  return image;
}

QImage PaintHandCursor(int scale) {
  QPainterPath hand;
  hand.addRoundedRect(QRectF(4, 0, 5, 15), 2.5, 2.5);
  hand.addRoundedRect(QRectF(8.5, 7, 4.5, 10), 2.2, 2.2);
  hand.addRoundedRect(QRectF(12.5, 8, 4.5, 9), 2.2, 2.2);
  hand.addRoundedRect(QRectF(16.5, 9, 4.5, 9), 2.2, 2.2);
  QPainterPath thumb;
  thumb.moveTo(4.5, 12);
  thumb.lineTo(2, 12);
  thumb.lineTo(0.5, 14);
  thumb.lineTo(1, 16);
  thumb.lineTo(5, 21);
  thumb.closeSubpath();
  QPainterPath palm;
  palm.addRoundedRect(QRectF(3, 13, 18, 10), 3, 3);
  palm.addRect(QRectF(6, 21, 13, 6));
  const QPainterPath shape = hand.united(thumb).united(palm).simplified();

  QImage image(QSize(32, 32) * scale, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.scale(scale, scale);
  p.setPen(QPen(Qt::black, 1.0));
  p.setBrush(Qt::white);
  p.drawPath(shape.translated(0.5, 0.5));
  // Knuckle creases.
  p.drawLine(QPointF(8.5, 12), QPointF(8.5, 16));
  p.drawLine(QPointF(12.5, 12), QPointF(12.5, 16));
  p.drawLine(QPointF(16.5, 12), QPointF(16.5, 16));
  p.drawLine(QPointF(6.5, 24.5), QPointF(18.5, 24.5));
  return image;
}

}  // namespace art
