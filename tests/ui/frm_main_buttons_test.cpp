// The window's behaviour offscreen: button looks, pickers, folder browser, drops, minimise, exit, drag.
// Mouse events travel through the window system, so grabs and the routing to children are real;
// releases run through the presenter, as in the program.
#define QTEST_QPA_MOUSE_HANDLING
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeView>
#include <QtTest>

#include "face/presenter.h"
#include "frm_main.h"
#include "skin_image.h"
#include "qt_window_port.h"

namespace {

enum class Look { Normal, Hover, Pressed, Other };

Look ActionLook(frmMain& frm, int i) {
  const qint64 key = frm.imgButton(i)->picture().cacheKey();
  if (frm.imgButton(i)->picture().isNull()) return Look::Normal;
  if (key == frm.imgButtonData(i).cacheKey()) return Look::Hover;
  if (key == frm.imgButtonPush(i).cacheKey()) return Look::Pressed;
  return Look::Other;
}

Look ArrowLook(frmMain& frm, SkinImage* image) {
  const bool browse = image == frm.imgBrowse();
  const qint64 key = image->picture().cacheKey();
  if (key == (browse ? frm.imgBrowseNormal() : frm.imgButtonNormal()).cacheKey()) return Look::Normal;
  if (key == (browse ? frm.imgBrowseMove() : frm.imgButtonMove()).cacheKey()) return Look::Hover;
  if (key == (browse ? frm.imgBrowsePush() : frm.imgButtonPush1()).cacheKey()) return Look::Pressed;
  return Look::Other;
}

QPoint Centre(QWidget* w) {
  return w->rect().center();
}
const QPoint kBare(150, 400);  // the empty strip along the bottom

}  // namespace

class FrmMainButtonsTest : public QObject {
  Q_OBJECT

 private:
  ShellSeams seams_ = ShellSeams{}.WithDefaults();
  std::unique_ptr<frmMain> frm_;
  std::unique_ptr<QtWindowPort> port_;
  std::unique_ptr<vintrel::face::Presenter> presenter_;
  QList<int> actions_;

  frmMain& Frm() { return *frm_; }

 private slots:
  void init() {
    frm_ = std::make_unique<frmMain>();
    port_ = std::make_unique<QtWindowPort>(*frm_, seams_, std::string());
    presenter_ = std::make_unique<vintrel::face::Presenter>(*port_, vintrel::AppPaths{});
    actions_.clear();
    presenter_->onAction = [this](int index) { actions_ << index; };
    frm_->onRelease = [this](int index) { presenter_->ReleaseButton(index); };
    frm_->onBrowse = [this] { presenter_->Browse(); };
    frm_->move(100, 100);
    frm_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frm_.get()));
    QTest::mouseMove(frm_.get(), kBare);
  }

  void cleanup() {
    presenter_.reset();
    port_.reset();
    frm_.reset();
  }

  void pressMoveAwayAndReleaseOverTheBareWindow() {
    QTest::mousePress(Frm().imgButton(0), Qt::LeftButton, {}, Centre(Frm().imgButton(0)));
    QCOMPARE(ActionLook(Frm(), 0), Look::Pressed);
    QVERIFY(Frm().buttonHeld());
    QTest::mouseMove(&Frm(), QPoint(150, 120));
    QTest::mouseMove(&Frm(), kBare);
    QCOMPARE(ActionLook(Frm(), 0), Look::Pressed);
    QVERIFY(actions_.isEmpty());
    QTest::mouseRelease(&Frm(), Qt::LeftButton, {}, kBare);
    QCOMPARE(actions_, QList<int>({0}));
    QCOMPARE(ActionLook(Frm(), 0), Look::Hover);
    QVERIFY(!Frm().buttonHeld());
    QTest::mouseMove(&Frm(), kBare + QPoint(3, 0));
    QCOMPARE(ActionLook(Frm(), 0), Look::Normal);
  }

  void hoverFollowsThePointerAndStaysOnChildWindows() {
    QTest::mouseMove(Frm().imgButton(0), Centre(Frm().imgButton(0)));
    QCOMPARE(ActionLook(Frm(), 0), Look::Hover);
    QTest::mouseMove(Frm().imgButton(1), Centre(Frm().imgButton(1)));
    QCOMPARE(ActionLook(Frm(), 0), Look::Normal);
    QCOMPARE(ActionLook(Frm(), 1), Look::Hover);
    // Straight onto child windows and labels: no reset.
    for (QWidget* w : {Frm().LV()->viewport(), static_cast<QWidget*>(Frm().txtPath()),
                       static_cast<QWidget*>(Frm().cmbAB()), static_cast<QWidget*>(Frm().picVBR()),
                       static_cast<QWidget*>(Frm().Label1()), static_cast<QWidget*>(Frm().lblVersion()),
                       static_cast<QWidget*>(Frm().lblPB()), static_cast<QWidget*>(Frm().imgMin())}) {
      QTest::mouseMove(w, Centre(w));
      QCOMPARE(ActionLook(Frm(), 1), Look::Hover);
    }
    QTest::mouseMove(&Frm(), kBare);
    QCOMPARE(ActionLook(Frm(), 1), Look::Normal);
  }

  void everyMouseButtonActsAlike() {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
      QTest::mousePress(Frm().imgButton(1), button, {}, Centre(Frm().imgButton(1)));
      QCOMPARE(ActionLook(Frm(), 1), Look::Pressed);
      QTest::mouseRelease(Frm().imgButton(1), button, {}, Centre(Frm().imgButton(1)));
      QCOMPARE(ActionLook(Frm(), 1), Look::Hover);
    }
    QCOMPARE(actions_, QList<int>({1, 1, 1}));
  }

  // A batch runs inside the release of Start: the rest of the window must keep working meanwhile.
  void windowWorksWhileAnActionRuns() {
    bool ran = false;
    presenter_->onAction = [&](int index) {
      if (index != 2) return;
      ran = true;
      QTest::mouseMove(Frm().imgButton(0), Centre(Frm().imgButton(0)));
      QCOMPARE(ActionLook(Frm(), 0), Look::Hover);
      QTest::mouseMove(&Frm(), kBare);
      QCOMPARE(ActionLook(Frm(), 0), Look::Normal);
      const QPoint start = Frm().pos();
      QTest::mousePress(&Frm(), Qt::LeftButton, {}, kBare);
      QTest::mouseMove(&Frm(), kBare + QPoint(10, 5));
      QTRY_COMPARE(Frm().pos(), start + QPoint(10, 5));
      // The window moved under the pointer: the pointer is back over the grip.
      QTest::mouseRelease(&Frm(), Qt::LeftButton, {}, kBare);
      QCOMPARE(Frm().pos(), start + QPoint(10, 5));
      QTest::mouseClick(Frm().picFPS(), Qt::LeftButton, {}, Centre(Frm().picFPS()));
      QTRY_VERIFY(Frm().cmbFPS()->view()->isVisible());
      Frm().cmbFPS()->hidePopup();
    };
    QTest::mouseClick(Frm().imgButton(2), Qt::LeftButton, {}, Centre(Frm().imgButton(2)));
    QVERIFY(ran);
  }

  void hoverWhileHeldKeepsThePressedLook() {
    QTest::mousePress(Frm().imgButton(0), Qt::LeftButton, {}, Centre(Frm().imgButton(0)));
    // A move reported for another button while one is held changes nothing.
    Frm().imgButton_MouseMove(2, Qt::LeftButton, {}, 5, 5);
    QCOMPARE(ActionLook(Frm(), 0), Look::Pressed);
    QCOMPARE(ActionLook(Frm(), 2), Look::Normal);
    QTest::mouseRelease(Frm().imgButton(0), Qt::LeftButton, {}, Centre(Frm().imgButton(0)));
  }

  void disabledActionsDoNotReact() {
    Frm().SetActionsEnabled(false);
    QTest::mouseMove(Frm().imgButton(2), Centre(Frm().imgButton(2)));
    QTest::mouseClick(Frm().imgButton(2), Qt::LeftButton, {}, Centre(Frm().imgButton(2)));
    QCOMPARE(ActionLook(Frm(), 2), Look::Normal);
    QVERIFY(actions_.isEmpty());
    const QPoint before = Frm().pos();
    QTest::mousePress(Frm().imgButton(2), Qt::LeftButton, {}, Centre(Frm().imgButton(2)));
    QTest::mouseMove(Frm().imgButton(2), Centre(Frm().imgButton(2)) + QPoint(20, 20));
    QTest::mouseRelease(Frm().imgButton(2), Qt::LeftButton, {}, Centre(Frm().imgButton(2)) + QPoint(20, 20));
    QCOMPARE(Frm().pos(), before);
  }

  void keysPressThroughTheReleaseHandlerAndLeaveTheNormalLook() {
    Frm().activateWindow();
    Frm().imgButton(1)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Frm().imgButton(1), Qt::Key_Space);
    QTest::keyClick(Frm().imgButton(1), Qt::Key_Return);
    QCOMPARE(actions_, QList<int>({1, 1}));
    QCOMPARE(ActionLook(Frm(), 1), Look::Normal);
    QVERIFY(!Frm().buttonHeld());
    QVERIFY(Frm().imgButton(1)->hasFocus());
    QTest::keyClick(Frm().txtPath(), Qt::Key_Insert);
    QTest::keyClick(Frm().cmbAB(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(Frm().cmbAB(), Qt::Key_Return, Qt::ControlModifier);
    // Delete edits the path; in the list it removes.
    QTest::keyClick(Frm().txtPath(), Qt::Key_Delete);
    QTest::keyClick(Frm().LV(), Qt::Key_Delete);
    QTest::keyClick(Frm().LV(), Qt::Key_F4, Qt::AltModifier);
    QCOMPARE(actions_, QList<int>({1, 1, 0, 0, 2, 1}));
  }

  void duringABatchKeysDoOnlyWhatTheMouseCan() {
    Frm().activateWindow();
    Frm().imgButton(2)->setFocus(Qt::TabFocusReason);
    Frm().SetActionsEnabled(false);
    QVERIFY(!Frm().imgButton(2)->hasFocus());
    for (QWidget* w : {Frm().focusWidget(), static_cast<QWidget*>(&Frm())}) {
      QTest::keyClick(w, Qt::Key_Insert);
      QTest::keyClick(w, Qt::Key_Return, Qt::ControlModifier);
    }
    Frm().imgMin()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Frm().imgMin(), Qt::Key_Space);
    QVERIFY(Frm().windowState() & Qt::WindowMinimized);
    QVERIFY(actions_.isEmpty());
    Frm().setWindowState(Qt::WindowNoState);
    Frm().SetActionsEnabled(true);
    // The keyboard is back where the batch took it from.
    QCOMPARE(Frm().focusWidget(), static_cast<QWidget*>(Frm().imgButton(2)));
  }

  void arrowsAndBrowsePressedThenHoverOnFirstMove() {
    for (SkinImage* image :
         {Frm().picVBR(), Frm().picSize(), Frm().picFPS(), Frm().picAB(), Frm().imgBrowse()}) {
      Frm().folderDialog = [](QWidget*, const QString&, const QString&) { return QString(); };
      QTest::mousePress(image, Qt::RightButton, {}, Centre(image));
      QCOMPARE(ArrowLook(Frm(), image), Look::Pressed);
      QTest::mouseMove(image, Centre(image) + QPoint(1, 0));
      QCOMPARE(ArrowLook(Frm(), image), Look::Hover);
      QTest::mouseRelease(image, Qt::RightButton, {}, Centre(image) + QPoint(1, 0));
      QCOMPARE(ArrowLook(Frm(), image), Look::Hover);
      QTest::mouseMove(&Frm(), kBare);
      QCOMPARE(ArrowLook(Frm(), image), Look::Normal);
    }
  }

  void arrowClickOpensItsList() {
    const QList<QPair<SkinImage*, QComboBox*>> pairs = {{Frm().picVBR(), Frm().cmbVBR()},
                                                        {Frm().picSize(), Frm().cmbSize()},
                                                        {Frm().picFPS(), Frm().cmbFPS()},
                                                        {Frm().picAB(), Frm().cmbAB()}};
    for (const auto& [arrow, combo] : pairs) {
      const int selected = combo->currentIndex();
      QTest::mouseClick(arrow, Qt::LeftButton, {}, Centre(arrow));
      QTRY_VERIFY(combo->view()->isVisible());
      QCOMPARE(combo->view()->currentIndex().row(), selected);
      for (QComboBox* other : {Frm().cmbVBR(), Frm().cmbSize(), Frm().cmbFPS(), Frm().cmbAB()}) {
        if (other != combo) QVERIFY(!other->view()->isVisible());
      }
      combo->hidePopup();
      QTRY_VERIFY(!combo->view()->isVisible());
      QCOMPARE(combo->currentIndex(), selected);
    }
    // Choosing an item changes only the selection.
    QTest::mouseClick(Frm().picAB(), Qt::LeftButton, {}, Centre(Frm().picAB()));
    QTRY_VERIFY(Frm().cmbAB()->view()->isVisible());
    Frm().cmbAB()->view()->setCurrentIndex(Frm().cmbAB()->model()->index(5, 0));
    QTest::keyClick(Frm().cmbAB()->view(), Qt::Key_Return);
    QTRY_VERIFY(!Frm().cmbAB()->view()->isVisible());
    QCOMPARE(Frm().cmbAB()->currentText(), QString("7.95k"));
    QVERIFY(actions_.isEmpty());
  }

  void browseSetsTheFolderExactlyOrKeepsItOnCancel() {
    QStringList titles;
    QString answer;
    Frm().folderDialog = [&](QWidget* parent, const QString& title, const QString&) {
      titles << title;
      [&] { QCOMPARE(parent, static_cast<QWidget*>(&Frm())); }();
      return answer;
    };
    Frm().txtPath()->setText("/home/me/out");
    answer = QString();  // cancelled
    QTest::mouseClick(Frm().imgBrowse(), Qt::LeftButton, {}, Centre(Frm().imgBrowse()));
    QCOMPARE(Frm().txtPath()->text(), QString("/home/me/out"));
    answer = QStringLiteral("D:\\Videos");
    QTest::mouseClick(Frm().imgBrowse(), Qt::LeftButton, {}, Centre(Frm().imgBrowse()));
    QCOMPARE(Frm().txtPath()->text(), answer);
    QCOMPARE(titles, QStringList(2, "Please select a folder:"));
    // Disabled during a batch: no dialog.
    Frm().SetActionsEnabled(false);
    QTest::mouseClick(Frm().imgBrowse(), Qt::LeftButton, {}, Centre(Frm().imgBrowse()));
    QCOMPARE(titles.size(), 2);
  }

  void dropsOnEachTarget_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("LV") << "LV";
    QTest::newRow("picDragText") << "picDragText";
    QTest::newRow("Label1") << "Label1";
  }

  void dropsOnEachTarget() {
    QFETCH(QString, target);
    QWidget* widget = target == "LV"            ? Frm().LV()->viewport()
                      : target == "picDragText" ? Frm().picDragText()
                                                : static_cast<QWidget*>(Frm().Label1());
    QList<QStringList> drops;
    Frm().onFilesDropped = [&](const QStringList& paths) { drops << paths; };
    const QString dir = QDir::tempPath();

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir + "/b.avi"), QUrl::fromLocalFile(dir + "/a.mpeg"),
                   QUrl::fromLocalFile(dir), QUrl("https://example.com/c.avi"),
                   QUrl::fromLocalFile(dir + "/b.avi")});
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    const QStringList expected = {QDir::toNativeSeparators(dir + "/b.avi"),
                                  QDir::toNativeSeparators(dir + "/a.mpeg"), QDir::toNativeSeparators(dir),
                                  QDir::toNativeSeparators(dir + "/b.avi")};
    QCOMPARE(drops, QList<QStringList>({expected}));

    QMimeData text;
    text.setText("/not/a/file.avi");
    QDragEnterEvent textEnter(QPoint(3, 3), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &textEnter);
    QVERIFY(!textEnter.isAccepted());
    QDropEvent textDrop(QPointF(3, 3), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &textDrop);
    QCOMPARE(textDrop.dropAction(), Qt::CopyAction);
    QCOMPARE(drops.size(), 1);
    QCOMPARE(Frm().LV()->model()->rowCount(), 0);  // the queue side belongs to the hook

    // While a batch runs the list is disabled and takes no files.
    Frm().SetActionsEnabled(false);
    if (target == "LV") {
      QDragEnterEvent busyEnter(QPoint(3, 3), Qt::CopyAction, &files, Qt::LeftButton, {});
      QApplication::sendEvent(widget, &busyEnter);
      QVERIFY(!busyEnter.isAccepted());
      QDropEvent busyDrop(QPointF(3, 3), Qt::CopyAction, &files, Qt::LeftButton, {});
      QApplication::sendEvent(widget, &busyDrop);
      QCOMPARE(drops.size(), 1);
    }
  }

  void minimiseAndExit() {
    int exits = 0;
    Frm().onExit = [&] { ++exits; };
    QTest::mouseClick(Frm().imgExit(), Qt::LeftButton, {}, Centre(Frm().imgExit()));
    QCOMPARE(exits, 1);
    QVERIFY(Frm().isVisible());
    QTest::mouseClick(Frm().imgMin(), Qt::LeftButton, {}, Centre(Frm().imgMin()));
    QTRY_VERIFY(Frm().windowState() & Qt::WindowMinimized);
    Frm().showNormal();
    QVERIFY(!Frm().mask().isEmpty());

    int unloads = 0;
    Frm().onUnload = [&] { ++unloads; };
    Frm().onExit = nullptr;
    QTest::mouseClick(Frm().imgExit(), Qt::LeftButton, {}, Centre(Frm().imgExit()));
    QTRY_VERIFY(!Frm().isVisible());
    QCOMPARE(unloads, 1);
  }

  void dragTheBodyOrTheVersionLabel_data() {
    QTest::addColumn<QString>("grip");
    QTest::addColumn<int>("button");
    QTest::newRow("body, left") << "body" << int(Qt::LeftButton);
    QTest::newRow("body, right") << "body" << int(Qt::RightButton);
    QTest::newRow("version label") << "lblVersion" << int(Qt::LeftButton);
  }

  void dragTheBodyOrTheVersionLabel() {
    QFETCH(QString, grip);
    QFETCH(int, button);
    QWidget* widget = grip == "body" ? static_cast<QWidget*>(&Frm()) : Frm().lblVersion();
    const QPoint at = grip == "body" ? kBare : Centre(widget);
    const QPoint start = Frm().pos();
    QTest::mousePress(widget, Qt::MouseButton(button), {}, at);
    QTest::mouseMove(widget, at + QPoint(40, 25));
    QTRY_COMPARE(Frm().pos(), start + QPoint(40, 25));
    QTest::mouseRelease(widget, Qt::MouseButton(button), {}, at);
    QTest::mouseMove(&Frm(), kBare + QPoint(5, 5));
    QCOMPARE(Frm().pos(), start + QPoint(40, 25));
  }

  void controlsDoNotDragTheWindow() {
    Frm().SetProgressBar(3960);
    const QPoint start = Frm().pos();
    for (QWidget* w : {Frm().LV()->viewport(), static_cast<QWidget*>(Frm().txtPath()),
                       static_cast<QWidget*>(Frm().picDragText()), static_cast<QWidget*>(Frm().Label1()),
                       static_cast<QWidget*>(Frm().lblPB()), static_cast<QWidget*>(Frm().imgPB()),
                       static_cast<QWidget*>(Frm().picVBR()), static_cast<QWidget*>(Frm().imgMin()),
                       static_cast<QWidget*>(Frm().imgBrowse()), static_cast<QWidget*>(Frm().imgButton(1))}) {
      QTest::mousePress(w, Qt::LeftButton, {}, QPoint(2, 2));
      QTest::mouseMove(w, QPoint(30, 30));
      QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(30, 30));
      QCOMPARE(Frm().pos(), start);
    }
  }
};

QTEST_MAIN(FrmMainButtonsTest)
#include "frm_main_buttons_test.moc"
