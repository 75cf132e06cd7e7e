// The window on a real X server (run under xvfb-run, without a window manager): the cut-out outline
// shows what lies behind the window, and dragging the body moves it.
// Mouse events travel through the window system, so grabs and the routing to children are real.
#define QTEST_QPA_MOUSE_HANDLING
#include <QProcess>
#include <QtTest>

#include "frm_main.h"

namespace {

const QColor kBackdrop(0, 200, 0);

// The whole screen as the X server shows it; QWidget::grab would not show the window's shape.
QImage ScreenShot() {
  QProcess import;
  import.start("import", {"-window", "root", "png:-"});
  if (!import.waitForFinished(30000) || import.exitCode() != 0) return {};
  return QImage::fromData(import.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
}

bool IsBackdrop(const QImage& shot, QPoint p) {
  return QColor(shot.pixel(p)) == kBackdrop;
}

// Polls the screen until `ready` holds for a screenshot (painting reaches the server asynchronously).
QImage WaitForScreen(const std::function<bool(const QImage&)>& ready) {
  QImage shot;
  for (int attempt = 0; attempt < 60; ++attempt) {
    shot = ScreenShot();
    if (!shot.isNull() && ready(shot)) return shot;
    QTest::qWait(250);
  }
  return shot;
}

}  // namespace

class FrmMainX11Test : public QObject {
  Q_OBJECT

 private:
  QWidget backdrop_;

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == "xcb", "needs a real X server: run under xvfb-run");
    backdrop_.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    backdrop_.setAutoFillBackground(true);
    QPalette palette = backdrop_.palette();
    palette.setColor(QPalette::Window, kBackdrop);
    backdrop_.setPalette(palette);
    backdrop_.setGeometry(0, 0, 1024, 768);
    backdrop_.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop_));
  }

  void cornersShowWhatLiesBehind() {
    frmMain frm;
    const QPoint origin(200, 150);
    frm.move(origin);
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    QTRY_COMPARE(frm.pos(), origin);

    auto at = [&](int x, int y) { return origin + QPoint(x, y); };
    const QList<QPoint> cut = {at(0, 0),     at(150, 0),   at(0, 1),    at(1, 1),     at(291, 1),  at(0, 418),
                               at(291, 418), at(292, 200), at(293, 10), at(150, 419), at(150, 420)};
    const QList<QPoint> face = {at(150, 200), at(0, 200), at(291, 200), at(150, 1),
                                at(150, 418), at(8, 8),   at(284, 410)};
    const QImage shot = WaitForScreen([&](const QImage& s) {
      for (const QPoint& p : face) {
        if (IsBackdrop(s, p)) return false;
      }
      for (const QPoint& p : cut) {
        if (!IsBackdrop(s, p)) return false;
      }
      return true;
    });
    QVERIFY2(!shot.isNull(), "ImageMagick's import could not read the screen");
    for (const QPoint& p : cut) {
      QVERIFY2(IsBackdrop(shot, p), qPrintable(QString("cut-out pixel %1,%2 shows the window")
                                                   .arg(p.x() - origin.x())
                                                   .arg(p.y() - origin.y())));
    }
    for (const QPoint& p : face) QVERIFY(!IsBackdrop(shot, p));
    // No key colour reaches the screen anywhere.
    for (int y = 0; y < frmMain::kClientHeight; ++y) {
      for (int x = 0; x < frmMain::kClientWidth; ++x) {
        if (QColor(shot.pixel(at(x, y))) == QColor(255, 0, 255)) {
          QFAIL(qPrintable(QString("magenta pixel at %1,%2").arg(x).arg(y)));
        }
      }
    }
    // The X server's own hit test: the corners belong to the window behind.
    QCOMPARE(QApplication::topLevelAt(at(0, 1)), &backdrop_);
    QCOMPARE(QApplication::topLevelAt(at(293, 200)), &backdrop_);
    QCOMPARE(QApplication::topLevelAt(at(150, 200)), static_cast<QWidget*>(&frm));
  }

  void dragOnTheBodyMovesTheWindow() {
    frmMain frm;
    const QPoint origin(100, 100);
    frm.move(origin);
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    QTRY_COMPARE(frm.pos(), origin);

    // The pointer travels in screen coordinates; the events are told relative to the moving window.
    const QPoint local(100, 300);
    QVERIFY2(frm.childAt(local) == nullptr, "the grip must be bare skin");
    const QPoint grip = origin + local;
    const QPoint delta(120, 90);
    QTest::mousePress(&frm, Qt::LeftButton, {}, frm.mapFromGlobal(grip));
    QTest::mouseMove(&frm, frm.mapFromGlobal(grip + delta / 2));
    QTRY_COMPARE_WITH_TIMEOUT(frm.pos(), origin + delta / 2, 10000);
    QTest::mouseMove(&frm, frm.mapFromGlobal(grip + delta));
    QTRY_COMPARE_WITH_TIMEOUT(frm.pos(), origin + delta, 10000);
    QTest::mouseRelease(&frm, Qt::LeftButton, {}, frm.mapFromGlobal(grip + delta));

    // The server shows it there: the old top-left lies bare, the new one carries the skin and its cut.
    const QPoint moved = origin + delta;
    auto placed = [&](const QImage& s) {
      return IsBackdrop(s, origin + QPoint(20, 20)) && !IsBackdrop(s, moved + QPoint(20, 20)) &&
             !IsBackdrop(s, moved + QPoint(280, 400)) && IsBackdrop(s, moved + QPoint(0, 1)) &&
             IsBackdrop(s, moved + QPoint(293, 200));
    };
    const QImage shot = WaitForScreen(placed);
    QVERIFY2(placed(shot), "the screen never showed the window at its new place");
  }
};

QTEST_MAIN(FrmMainX11Test)
#include "frm_main_x11_test.moc"
