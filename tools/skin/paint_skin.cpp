#include <QLinearGradient>

#include "app/pickers.h"
#include "art.h"

namespace art {

namespace {

void PaintTitle(QPainter& p) {
  QLinearGradient title(0, 1, 0, 28);
  title.setColorAt(0, kTitleTop);
  title.setColorAt(1, kTitleLow);
  p.fillRect(QRectF(0, 1, 292, 28), title);
  p.fillRect(QRectF(0, 28, 292, 1), QColor(0xae, 0xc3, 0xda));
  p.fillRect(QRectF(0, 29, 292, 1), QColor(0xf8, 0xfb, 0xfe));

  p.save();
  p.translate(8, 7);
  PaintIconArt(p, 16);
  p.restore();
  Text(p, QRectF(30, 4, 110, 22), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vintrel"), 14, true,
       kAccent);

  // Minimise bar and exit cross, centred in the hot spots at (252,8,13,13) and (272,8,11,13).
  p.fillRect(QRectF(254.5, 16, 8, 2), kOutline);
  QPen cross(kOutline, 1.7, Qt::SolidLine, Qt::RoundCap);
  p.setPen(cross);
  p.drawLine(QPointF(274.3, 11.3), QPointF(280.7, 17.7));
  p.drawLine(QPointF(280.7, 11.3), QPointF(274.3, 17.7));
  p.setPen(Qt::NoPen);
}

void PaintFileList(QPainter& p) {
  Text(p, QRectF(13, 68, 200, 17), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("File List"), 12, true,
       kAccent);
  // Frame around the painted header and the list body that LV covers (13,106)-(281,191).
  p.fillRect(QRectF(12, 87, 271, 1), kFrame);
  p.fillRect(QRectF(12, 192, 271, 1), kFrame);
  p.fillRect(QRectF(12, 87, 1, 106), kFrame);
  p.fillRect(QRectF(282, 87, 1, 106), kFrame);

  QLinearGradient header(0, 88, 0, 105);
  header.setColorAt(0, QColor(0xfd, 0xfe, 0xff));
  header.setColorAt(1, QColor(0xdd, 0xe7, 0xf2));
  p.fillRect(QRectF(13, 88, 269, 17), header);
  p.fillRect(QRectF(13, 105, 269, 1), QColor(0xb5, 0xc6, 0xd9));
  p.fillRect(QRectF(189, 91, 1, 12), QColor(0xa9, 0xbc, 0xd1));
  p.fillRect(QRectF(190, 91, 1, 12), Qt::white);
  Text(p, QRectF(19, 88, 165, 17), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("File Name"), 11, false,
       kCaption);
  Text(p, QRectF(196, 88, 82, 17), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Format"), 11, false,
       kCaption);
  p.fillRect(QRectF(13, 106, 269, 86), Qt::white);
}

void PaintFieldCaption(QPainter& p, int x, int y, const QString& text) {
  Text(p, QRectF(x, y, 130, 15), Qt::AlignLeft | Qt::AlignVCenter, text, 11, false, kCaption);
}

void PaintProgressTrough(QPainter& p) {
  // The white inside (16,371)-(279,381) is where the bar grows.
  p.fillRect(QRectF(14, 369, 268, 15), QColor(0xf6, 0xf9, 0xfc));
  p.fillRect(QRectF(15, 370, 266, 1), QColor(0x7f, 0x99, 0xb6));
  p.fillRect(QRectF(15, 382, 266, 1), QColor(0xb8, 0xc9, 0xdb));
  p.fillRect(QRectF(15, 370, 1, 13), QColor(0x8d, 0xa6, 0xc2));
  p.fillRect(QRectF(280, 370, 1, 13), QColor(0xb8, 0xc9, 0xdb));
  p.fillRect(QRectF(16, 371, 264, 11), Qt::white);
}

void PaintBody(QPainter& p) {
  p.fillRect(QRectF(0, 30, 292, 389), kBody);
  QLinearGradient footer(0, 390, 0, 419);
  footer.setColorAt(0, kBody);
  footer.setColorAt(1, kBodyLow);
  p.fillRect(QRectF(0, 390, 292, 29), footer);

  for (int i = 0; i < 3; ++i) PaintActionContent(p, kActionButtonRects[i], i, Look::Normal);
  Separator(p, 8, 283, 65);
  PaintFileList(p);

  Separator(p, 8, 283, 199);
  for (const vintrel::PickerRow& row : vintrel::kPickerRows) {
    // Above the picker's combo box, whose place is in twips.
    const QString caption =
        QString::fromLatin1(row.caption.data(), static_cast<qsizetype>(row.caption.size()));
    PaintFieldCaption(p, row.place.left / 15, row.place.top / 15 - 17, caption + QLatin1Char(':'));
  }

  Separator(p, 8, 283, 297);
  PaintFieldCaption(p, 14, 303, QStringLiteral("Output Path:"));

  Separator(p, 8, 283, 347);
  PaintFieldCaption(p, 14, 353, QStringLiteral("Progress:"));
  PaintProgressTrough(p);
}

// Cuts the outline out in whole logical pixels, so the key colour is exact at every scale and the
// window mask (taken from the 1x skin) fits the larger pictures too.
void CutOutline(QImage& image, int scale) {
  auto inside = [](int x, int y) { return InsideWindow(x, y); };
  auto edge = [&](int x, int y) {
    return !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
  };
  auto nearEdge = [&](int x, int y) {
    return edge(x - 1, y) || edge(x + 1, y) || edge(x, y - 1) || edge(x, y + 1);
  };
  for (int y = 0; y < kSkinHeight; ++y) {
    for (int x = 0; x < kSkinWidth; ++x) {
      QColor colour;
      if (!inside(x, y)) {
        colour = kKey;
      } else if (edge(x, y)) {
        colour = kOutline;
      } else if (nearEdge(x, y)) {
        // A light inner bevel, lighter at the top and left.
        const QColor base = QColor::fromRgb(image.pixel(x * scale, y * scale));
        const int lift = (y < 30 || x < 3) ? 160 : 80;
        colour = QColor((base.red() * (255 - lift) + 255 * lift) / 255,
                        (base.green() * (255 - lift) + 255 * lift) / 255,
                        (base.blue() * (255 - lift) + 255 * lift) / 255);
      } else {
        continue;
      }
      for (int dy = 0; dy < scale; ++dy) {
        for (int dx = 0; dx < scale; ++dx) image.setPixelColor(x * scale + dx, y * scale + dy, colour);
      }
    }
  }
}

}  // namespace

QImage PaintSkin(int scale) {
  QImage image = Render(QSize(kSkinWidth, kSkinHeight), scale, kKey, [](QPainter& p) {
    PaintBody(p);
    PaintTitle(p);
  });
  CutOutline(image, scale);
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace art
