#include "art.h"

#include <QFontDatabase>

namespace art {

namespace {
const char* const kFamily = "DejaVu Sans";
constexpr int kVisibleRight = 291;  // the three right-most columns are key colour
constexpr int kVisibleTop = 1;
constexpr int kVisibleBottom = 418;
constexpr double kCornerRadius = 6.0;
}  // namespace

bool CaptionFontAvailable() {
  return QFontDatabase::families().contains(QString::fromLatin1(kFamily));
}

QFont CaptionFont(qreal pixelSize, bool bold) {
  QFont font(QString::fromLatin1(kFamily));
  font.setPixelSize(qRound(pixelSize));
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

bool InsideWindow(int x, int y) {
  if (x < 0 || x > kVisibleRight || y < kVisibleTop || y > kVisibleBottom) return false;
  // Pixel centres against the four corner arcs.
  const double px = x + 0.5;
  const double py = y + 0.5;
  const double left = 0.0 + kCornerRadius;
  const double right = kVisibleRight + 1.0 - kCornerRadius;
  const double top = kVisibleTop + kCornerRadius;
  const double bottom = kVisibleBottom + 1.0 - kCornerRadius;
  double cx = px;
  double cy = py;
  if (px < left) cx = left;
  if (px > right) cx = right;
  if (py < top) cy = top;
  if (py > bottom) cy = bottom;
  if (cx == px || cy == py) return true;
  const double dx = px - cx;
  const double dy = py - cy;
  return dx * dx + dy * dy <= kCornerRadius * kCornerRadius;
}

QImage Render(QSize size, int scale, const QColor& background, const std::function<void(QPainter&)>& paint) {
  QImage image(size * scale, QImage::Format_ARGB32);
  image.fill(background);
  PaintOver(image, scale, paint);
  return image;
}

void PaintOver(QImage& image, int scale, const std::function<void(QPainter&)>& paint) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.scale(scale, scale);
  paint(p);
}

QImage Crop(const QImage& image, const QRect& area, int scale) {
  return image.copy(QRect(area.topLeft() * scale, area.size() * scale));
}

void Text(QPainter& p, const QRectF& box, int flags, const QString& text, qreal pixelSize, bool bold,
          const QColor& colour) {
  p.save();
  p.setFont(CaptionFont(pixelSize, bold));
  p.setPen(colour);
  p.drawText(box, flags, text);
  p.restore();
}

void Separator(QPainter& p, int x1, int x2, int y) {
  p.fillRect(QRectF(x1, y, x2 - x1 + 1, 1), kSeparator);
  p.fillRect(QRectF(x1, y + 1, x2 - x1 + 1, 1), kSeparatorLight);
}

}  // namespace art
