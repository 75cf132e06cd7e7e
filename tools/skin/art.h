#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <functional>

namespace art {

// The colour key: every pixel of exactly this colour is cut out of the window.
inline const QColor kKey(255, 0, 255);

// The palette of the whole skin.
inline const QColor kOutline(0x2f, 0x55, 0x7f);
inline const QColor kBody(0xec, 0xf1, 0xf7);
inline const QColor kBodyLow(0xe1, 0xe9, 0xf2);
inline const QColor kTitleTop(0xff, 0xff, 0xff);
inline const QColor kTitleLow(0xd6, 0xe4, 0xf2);
inline const QColor kInk(0x1f, 0x3a, 0x58);
inline const QColor kCaption(0x2b, 0x45, 0x63);
inline const QColor kAccent(0x1f, 0x4e, 0x79);
inline const QColor kFrame(0x8d, 0xa6, 0xc2);
inline const QColor kSeparator(0xc3, 0xd1, 0xe0);
inline const QColor kSeparatorLight(0xfa, 0xfc, 0xfe);

enum class Look { Normal, Hover, Pressed };

// Skin geometry shared by the skin and the pictures cut from it.
inline constexpr int kSkinWidth = 295;
inline constexpr int kSkinHeight = 421;
inline const QRect kActionButtonRects[3] = {{11, 32, 90, 30}, {107, 32, 86, 30}, {197, 32, 86, 30}};
inline const QRect kBrowseRect(238, 319, 42, 22);

// The font every caption uses. Fails loudly when it is missing so pictures never change by accident.
QFont CaptionFont(qreal pixelSize, bool bold);
bool CaptionFontAvailable();

// Whether a skin pixel (logical coordinates) belongs to the visible window.
bool InsideWindow(int x, int y);

// Paints `size` logical pixels at `scale` device pixels each, onto an image filled with `background`.
QImage Render(QSize size, int scale, const QColor& background, const std::function<void(QPainter&)>& paint);
// A copy of `area` (logical) of an image rendered at `scale`, to paint a picture on top of.
QImage Crop(const QImage& image, const QRect& area, int scale);
// Continues painting on an image that already holds device pixels at `scale`.
void PaintOver(QImage& image, int scale, const std::function<void(QPainter&)>& paint);

void Text(QPainter& p, const QRectF& box, int flags, const QString& text, qreal pixelSize, bool bold,
          const QColor& colour);
// A horizontal groove: a dark line over a light one.
void Separator(QPainter& p, int x1, int x2, int y);

// Pictures.
QImage PaintSkin(int scale);
QImage PaintActionButton(const QImage& skin, int scale, int index, Look look);
// The icon and caption of an action button, used by the skin for the normal look too.
void PaintActionContent(QPainter& p, const QRectF& rect, int index, Look look);
QImage PaintArrow(int scale, Look look);
QImage PaintBrowse(const QImage& skin, int scale, Look look);
void PaintBrowseFace(QPainter& p, const QRectF& rect, Look look);
QImage PaintProgressStrip(int scale);
QImage PaintIcon(int size);
void PaintIconArt(QPainter& p, qreal size);
QImage PaintHandCursor(int scale);

}  // namespace art
