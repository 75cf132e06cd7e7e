// The committed pictures: sizes, the exact key colour of the outline, and what the window takes from them.
#include "skin_pictures.h"

#include <QBitmap>
#include <QtTest>

namespace {
const QRgb kKey = qRgb(255, 0, 255);

bool IsKey(const QImage& image, int x, int y) {
  return (image.pixel(x, y) & 0xffffff) == (kKey & 0xffffff);
}
}  // namespace

class SkinPicturesTest : public QObject {
  Q_OBJECT

 private slots:
  void sizes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("skin") << "skin" << QSize(295, 421);
    QTest::newRow("hover 0") << "button_hover_0" << QSize(92, 30);
    QTest::newRow("hover 1") << "button_hover_1" << QSize(86, 30);
    QTest::newRow("hover 2") << "button_hover_2" << QSize(86, 30);
    QTest::newRow("push 0") << "button_push_0" << QSize(92, 30);
    QTest::newRow("push 1") << "button_push_1" << QSize(86, 30);
    QTest::newRow("push 2") << "button_push_2" << QSize(86, 30);
    for (const char* look : {"normal", "hover", "push"}) {
      QTest::newRow(qPrintable(QStringLiteral("arrow ") + look))
          << QStringLiteral("arrow_") + look << QSize(18, 19);
      QTest::newRow(qPrintable(QStringLiteral("browse ") + look))
          << QStringLiteral("browse_") + look << QSize(42, 22);
    }
    QTest::newRow("progress") << "progress" << QSize(1, 15);
  }

  // Every picture and its twice-as-dense twin.
  void sizes() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QImage plain = skin::Original(name + ".png");
    const QImage dense = skin::Original(name + "@2x.png");
    QCOMPARE(plain.size(), size);
    QCOMPARE(dense.size(), size * 2);
    QVERIFY2(!plain.hasAlphaChannel(), "a store picture must be opaque: it replaces the skin under it");
  }

  void skinOutlineIsExactKeyColour() {
    const QImage skin = skin::Original("skin.png");
    for (int x = 0; x < skin.width(); ++x) {
      QVERIFY2(IsKey(skin, x, 0), qPrintable(QString("row 0, x %1").arg(x)));
      QVERIFY2(IsKey(skin, x, 419) && IsKey(skin, x, 420), qPrintable(QString("bottom rows, x %1").arg(x)));
    }
    for (int y = 0; y < skin.height(); ++y) {
      for (int x = 292; x <= 294; ++x)
        QVERIFY2(IsKey(skin, x, y), qPrintable(QString("column %1, y %2").arg(x).arg(y)));
    }
    // Curved corner cuts of about six pixels.
    const QPoint corners[4] = {{0, 1}, {291, 1}, {0, 418}, {291, 418}};
    for (const QPoint& c : corners) QVERIFY(IsKey(skin, c.x(), c.y()));
    QVERIFY(IsKey(skin, 1, 2) && IsKey(skin, 290, 417));
    QVERIFY(!IsKey(skin, 0, 10) && !IsKey(skin, 10, 1) && !IsKey(skin, 291, 410) && !IsKey(skin, 280, 418));
    QVERIFY(!IsKey(skin, 4, 5) && !IsKey(skin, 287, 414));
    // Nothing inside may carry the key colour, or it would be a hole in the window.
    for (int y = 8; y <= 411; ++y) {
      for (int x = 0; x <= 291; ++x)
        QVERIFY2(!IsKey(skin, x, y), qPrintable(QString("hole at %1,%2").arg(x).arg(y)));
    }
  }

  void denseSkinHasTheSameOutline() {
    const QImage plain = skin::Original("skin.png");
    const QImage dense = skin::Original("skin@2x.png");
    for (int y = 0; y < plain.height(); ++y) {
      for (int x = 0; x < plain.width(); ++x) {
        const bool key = IsKey(plain, x, y);
        for (int d = 0; d < 4; ++d) {
          if (IsKey(dense, 2 * x + d % 2, 2 * y + d / 2) != key) {
            QFAIL(qPrintable(QString("dense pixel of %1,%2 differs in key colour").arg(x).arg(y)));
          }
        }
      }
    }
  }

  void progressTroughIsWhiteWhereTheBarGrows() {
    const QImage skin = skin::Original("skin.png");
    for (int y = 371; y <= 381; ++y) {
      for (int x = 16; x <= 279; ++x) QCOMPARE(skin.pixel(x, y) & 0xffffff, 0xffffffu);
    }
    // Framed: the rows and columns around it are not white.
    QVERIFY((skin.pixel(16, 370) & 0xffffff) != 0xffffff);
    QVERIFY((skin.pixel(16, 382) & 0xffffff) != 0xffffff);
    QVERIFY((skin.pixel(15, 375) & 0xffffff) != 0xffffff);
    QVERIFY((skin.pixel(280, 375) & 0xffffff) != 0xffffff);
  }

  void shapeLeavesOutTheKeyColour() {
    const QRegion shape = skin::Shape(kKey);
    QCOMPARE(shape.boundingRect(), QRect(0, 1, 292, 418));
    QVERIFY(shape.contains(QPoint(150, 200)));
    QVERIFY(shape.contains(QPoint(0, 100)));
    QVERIFY(!shape.contains(QPoint(0, 1)));
    QVERIFY(!shape.contains(QPoint(291, 418)));
    QVERIFY(!shape.contains(QPoint(292, 200)));
    QVERIFY(!shape.contains(QPoint(150, 0)));
    QVERIFY(!shape.contains(QPoint(150, 419)));
    // A different key would cut out nothing of this skin's face.
    QVERIFY(skin::Shape(qRgb(1, 2, 3)).contains(QPoint(0, 0)));
  }

  void handCursorIsMonochromeWithItsHotSpotAtTheFingertip() {
    const QCursor hand = skin::HandCursor();
    QCOMPARE(hand.hotSpot(), QPoint(6, 0));
    const QImage image = skin::Original("hand.png").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY2(qAlpha(image.pixel(6, 0)) == 255, "the hot spot must be on the hand");
    int black = 0;
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (qAlpha(p) == 0) continue;
        QCOMPARE(qAlpha(p), 255);
        const QRgb rgb = p & 0xffffff;
        QVERIFY2(rgb == 0 || rgb == 0xffffff, "only black, white and transparent");
        (rgb == 0 ? black : white)++;
      }
    }
    QVERIFY(black > 40 && white > 40);
  }

  void windowIconHasThreeSizes() {
    const QIcon icon = skin::WindowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(48, 48)));
    QVERIFY(skin::Original("icon_16.png").colorCount() <= 256);
    QVERIFY(skin::Original("icon_16.png").colorCount() > 0);
  }
};

QTEST_MAIN(SkinPicturesTest)
#include "skin_pictures_test.moc"
