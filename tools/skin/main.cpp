// Draws every picture of the Vintrel window into a folder (normally src/ui/resources).
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "art.h"

namespace {

bool Save(const QDir& dir, const QString& name, const QImage& image) {
  const QString path = dir.filePath(name);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "vintrel-skin: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// Saves the 1x picture and its @2x twin made by `paint`.
bool SaveBoth(const QDir& dir, const QString& name, const std::function<QImage(int)>& paint) {
  return Save(dir, name + QStringLiteral(".png"), paint(1)) &&
         Save(dir, name + QStringLiteral("@2x.png"), paint(2));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: vintrel-skin OUTPUT_FOLDER\n");
    return 2;
  }
  if (!art::CaptionFontAvailable()) {
    std::fprintf(stderr, "vintrel-skin: the font DejaVu Sans is missing (Debian: fonts-dejavu-core)\n");
    return 1;
  }
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "vintrel-skin: cannot create %s\n", argv[1]);
    return 1;
  }

  const QImage skin[3] = {QImage(), art::PaintSkin(1), art::PaintSkin(2)};
  bool ok =
      Save(dir, QStringLiteral("skin.png"), skin[1]) && Save(dir, QStringLiteral("skin@2x.png"), skin[2]);

  const struct {
    const char* name;
    art::Look look;
  } looks[] = {{"hover", art::Look::Hover}, {"push", art::Look::Pressed}, {"normal", art::Look::Normal}};
  for (const auto& l : looks) {
    const QString suffix = QString::fromLatin1(l.name);
    if (l.look != art::Look::Normal) {
      for (int i = 0; i < 3; ++i) {
        ok = ok && SaveBoth(dir, QStringLiteral("button_%1_%2").arg(suffix).arg(i),
                            [&](int s) { return art::PaintActionButton(skin[s], s, i, l.look); });
      }
    }
    ok = ok &&
         SaveBoth(dir, QStringLiteral("arrow_") + suffix, [&](int s) { return art::PaintArrow(s, l.look); });
    ok = ok && SaveBoth(dir, QStringLiteral("browse_") + suffix,
                        [&](int s) { return art::PaintBrowse(skin[s], s, l.look); });
  }
  ok = ok && SaveBoth(dir, QStringLiteral("progress"), art::PaintProgressStrip);
  // One cursor size: platforms disagree on whether a dense cursor's hot spot is in device pixels.
  ok = ok && Save(dir, QStringLiteral("hand.png"), art::PaintHandCursor(1));
  // The window uses 16, 32 and 48; the installed program gives the desktop's icon theme every
  // size it looks for, up to 512 for software centres.
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512})
    ok = ok && Save(dir, QStringLiteral("icon_%1.png").arg(size), art::PaintIcon(size));
  return ok ? 0 : 1;
}
