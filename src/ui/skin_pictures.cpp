#include "skin_pictures.h"

#include <QBitmap>
#include <QGuiApplication>

// The pictures live in this static library: register them before the first use, since the linker
// would otherwise drop the unreferenced resource object.
static void LoadSkinResources() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(skin);
    return true;
  }();
  (void)loaded;
}

namespace skin {

namespace {
QString Path(const QString& name, const char* suffix) {
  LoadSkinResources();
  return QStringLiteral(":/skin/") + name + QString::fromLatin1(suffix);
}
}  // namespace

QImage Original(const QString& fileName) {
  LoadSkinResources();
  return QImage(QStringLiteral(":/skin/") + fileName);
}

QPixmap Picture(const QString& name) {
  if (qApp != nullptr && qApp->devicePixelRatio() > 1.0) {
    QPixmap dense(Path(name, "@2x.png"));
    if (!dense.isNull()) {
      dense.setDevicePixelRatio(2.0);
      return dense;
    }
  }
  QPixmap plain(Path(name, ".png"));
  plain.setDevicePixelRatio(1.0);
  return plain;
}

QRegion Shape(QRgb keyColour) {
  const QImage skin = Original(QStringLiteral("skin.png"));
  if (skin.isNull()) return {};
  // Through the bitmap conversion the key colour's pixels end up outside the region.
  const QImage mask =
      skin.convertToFormat(QImage::Format_RGB32).createMaskFromColor(keyColour, Qt::MaskInColor);
  return QRegion(QBitmap::fromImage(mask));
}

QCursor HandCursor() {
  const QPixmap hand(Path(QStringLiteral("hand"), ".png"));
  if (hand.isNull()) return QCursor(Qt::PointingHandCursor);
  return QCursor(hand, 6, 0);
}

QIcon WindowIcon() {
  QIcon icon;
  for (const char* size : {"16", "32", "48"}) {
    icon.addFile(QStringLiteral(":/skin/icon_") + QString::fromLatin1(size) + QStringLiteral(".png"));
  }
  return icon;
}

}  // namespace skin
