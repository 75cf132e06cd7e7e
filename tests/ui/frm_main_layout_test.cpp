// The window's controls: place, kind, tool tip, items, fonts, colours, stacking and the stores.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "frm_main.h"
#include "skin_image.h"

class FrmMainLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void window() {
    frmMain frm;
    QCOMPARE(frm.windowTitle(), QString("Vintrel"));
    QVERIFY(frm.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(frm.size(), QSize(294, 421));
    QCOMPARE(frm.minimumSize(), QSize(294, 421));
    QCOMPARE(frm.maximumSize(), QSize(294, 421));
    QCOMPARE(frm.font().family(), QString("Tahoma"));
    QCOMPARE(frm.font().pointSizeF(), 9.0);
    QVERIFY(!frm.font().bold());
    QCOMPARE(frm.maskColor(), qRgb(255, 0, 255));
    QCOMPARE(frm.mask().boundingRect(), QRect(0, 1, 292, 418));
    QVERIFY(!frm.windowIcon().isNull());
  }

  void controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("tip");
    QTest::newRow("imgButton 0") << "imgButton0"
                                 << "SkinImage" << QRect(11, 32, 90, 30) << "Add a new file";
    QTest::newRow("imgButton 1") << "imgButton1"
                                 << "SkinImage" << QRect(107, 32, 86, 30) << "Remove selected file from list";
    QTest::newRow("imgButton 2") << "imgButton2"
                                 << "SkinImage" << QRect(197, 32, 86, 30) << "Start converting now";
    QTest::newRow("lblVersion") << "lblVersion"
                                << "QLabel" << QRect(158, 9, 80, 14) << "";
    // The Chinese tool tips, as UTF-8 bytes: minimise and exit.
    QTest::newRow("imgMin") << "imgMin"
                            << "SkinImage" << QRect(252, 8, 13, 13)
                            << QString::fromUtf8("\xe6\x9c\x80\xe5\xb0\x8f\xe5\x8c\x96");
    QTest::newRow("imgExit") << "imgExit"
                             << "SkinImage" << QRect(272, 8, 11, 13)
                             << QString::fromUtf8("\xe9\x80\x80\xe5\x87\xba");
    QTest::newRow("LV") << "LV"
                        << "QTreeView" << QRect(13, 106, 269, 86) << "";
    QTest::newRow("picDragText") << "picDragText"
                                 << "QWidget" << QRect(74, 138, 139, 23) << "";
    QTest::newRow("Label1") << "Label1"
                            << "QLabel" << QRect(0, 4, 139, 17) << "";
    QTest::newRow("cmbVBR") << "cmbVBR"
                            << "QComboBox" << QRect(14, 222, 125, 22) << "Video Bitrate";
    QTest::newRow("cmbSize") << "cmbSize"
                             << "QComboBox" << QRect(156, 222, 125, 22)
                             << "Screen size, Width X Height (Pixel)";
    QTest::newRow("cmbFPS") << "cmbFPS"
                            << "QComboBox" << QRect(14, 268, 125, 22) << "Frames per second";
    QTest::newRow("cmbAB") << "cmbAB"
                           << "QComboBox" << QRect(156, 268, 125, 22) << "Audio Bitrate";
    QTest::newRow("picVBR") << "picVBR"
                            << "SkinImage" << QRect(120, 223, 18, 19) << "";
    QTest::newRow("picSize") << "picSize"
                             << "SkinImage" << QRect(262, 223, 18, 19) << "";
    QTest::newRow("picFPS") << "picFPS"
                            << "SkinImage" << QRect(120, 269, 18, 19) << "";
    QTest::newRow("picAB") << "picAB"
                           << "SkinImage" << QRect(262, 269, 18, 19) << "";
    QTest::newRow("txtPath") << "txtPath"
                             << "QLineEdit" << QRect(14, 320, 219, 20) << "";
    QTest::newRow("imgBrowse") << "imgBrowse"
                               << "SkinImage" << QRect(238, 319, 42, 22)
                               << "Browse and select a path to output";
    // The bar starts empty: width 0 of its 264 pixels.
    QTest::newRow("imgPB") << "imgPB"
                           << "SkinImage" << QRect(16, 371, 0, 11) << "";
    QTest::newRow("lblPB") << "lblPB"
                           << "StatusLabel" << QRect(96, 370, 103, 13) << "";
  }

  void controls() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, place);
    QFETCH(QString, tip);
    frmMain frm;
    auto* control = frm.findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(QString(control->metaObject()->className()), kind);
    QCOMPARE(control->geometry(), place);
    QCOMPARE(control->toolTip(), tip);
    QVERIFY(!control->isHidden());
  }

  void pickerItemsInOrder() {
    frmMain frm;
    auto items = [](QComboBox* combo) {
      QStringList list;
      for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
      return list;
    };
    QCOMPARE(items(frm.cmbVBR()), QStringList({"40", "80", "120", "256", "512"}));
    QCOMPARE(items(frm.cmbSize()), QStringList({"128x96", "160x120", "176x144", "352x288"}));
    QCOMPARE(items(frm.cmbFPS()), QStringList({"14.985", "23.975", "25.0", "29.97"}));
    QCOMPARE(items(frm.cmbAB()),
             QStringList({"4.75k", "5.15k", "5.9k", "6.7k", "7.4k", "7.95k", "10.2k", "12.2k"}));
    for (QComboBox* combo : {frm.cmbVBR(), frm.cmbSize(), frm.cmbFPS(), frm.cmbAB()}) {
      QVERIFY2(!combo->isEditable(), "a drop-down list: no typed values");
    }
    QCOMPARE(frm.cmbVBR()->currentText(), QString("120"));
    QCOMPARE(frm.cmbSize()->currentText(), QString("176x144"));
    QCOMPARE(frm.cmbFPS()->currentText(), QString("14.985"));
    QCOMPARE(frm.cmbAB()->currentText(), QString("5.15k"));
  }

  void labelsFontsAndColours() {
    frmMain frm;
    QCOMPARE(frm.Label1()->text(), QString("Drag & Drop Files Here"));
    QCOMPARE(frm.Label1()->font().family(), QString("Tahoma"));
    QVERIFY(frm.Label1()->font().bold());
    QVERIFY(frm.Label1()->font().pointSizeF() <= 9.0 && frm.Label1()->font().pointSizeF() >= 6.0);
    QVERIFY2(QFontMetrics(frm.Label1()->font()).horizontalAdvance(frm.Label1()->text()) <= 139,
             "the hint must not be clipped");
    QCOMPARE(frm.Label1()->alignment(), Qt::AlignCenter);
    QCOMPARE(frm.Label1()->palette().color(QPalette::WindowText), QColor(192, 192, 192));
    QCOMPARE(frm.Label1()->parentWidget(), frm.picDragText());

    QCOMPARE(frm.lblPB()->text(), QString("0%"));
    QCOMPARE(frm.lblPB()->font().family(), QString("Tahoma"));
    QCOMPARE(frm.lblPB()->font().pointSizeF(), 7.5);
    QVERIFY(frm.lblPB()->font().bold());
    QCOMPARE(frm.lblPB()->alignment(), Qt::AlignCenter);
    QCOMPARE(frm.lblPB()->palette().color(QPalette::WindowText), QColor(Qt::black));

    // Transparent labels; the hint has the system window colour.
    QVERIFY(!frm.lblPB()->autoFillBackground() && !frm.Label1()->autoFillBackground());
    QVERIFY(!frm.lblVersion()->autoFillBackground());
    QVERIFY(frm.picDragText()->autoFillBackground());
    QCOMPARE(frm.picDragText()->palette().color(QPalette::Window), frm.LV()->palette().color(QPalette::Base));
    QCOMPARE(frm.txtPath()->text(), QString());
    QCOMPARE(frm.imgMin()->cursor().hotSpot(), QPoint(6, 0));
    QCOMPARE(frm.imgExit()->cursor().hotSpot(), QPoint(6, 0));
  }

  void stacking() {
    frmMain frm;
    // Arrows over their combo boxes, the hint over the list, the percentage over the bar.
    QCOMPARE(frm.childAt(128, 232), frm.picVBR());
    QCOMPARE(frm.childAt(270, 232), frm.picSize());
    QCOMPARE(frm.childAt(128, 278), frm.picFPS());
    QCOMPARE(frm.childAt(270, 278), frm.picAB());
    QCOMPARE(frm.childAt(143, 150), frm.Label1());
    QCOMPARE(frm.childAt(76, 139), frm.picDragText());
    QCOMPARE(frm.childAt(20, 120)->parentWidget(), frm.LV());
    frm.SetProgressBar(3960);
    QCOMPARE(frm.childAt(147, 376), frm.lblPB());
    QCOMPARE(frm.childAt(20, 376), frm.imgPB());
    // Bare skin.
    QVERIFY(frm.childAt(150, 400) == nullptr);
    QVERIFY(frm.childAt(150, 75) == nullptr);
  }

  void tabVisitsEveryControlInOrder() {
    frmMain frm;
    QList<QWidget*> order;
    QWidget* w = frm.imgButton(0);
    for (std::size_t i = 0; i <= vintrel::face::kTabOrder.size(); ++i) {
      order << w;
      do {
        w = w->nextInFocusChain();
      } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&frm));
    }
    QList<QWidget*> expected;
    for (const auto& control : vintrel::face::kTabOrder) expected << frm.ControlWidget(control.control);
    expected << expected.first();
    QCOMPARE(order, expected);
    QCOMPARE(QList<QWidget*>(expected.begin() + 4, expected.begin() + 8),
             QList<QWidget*>({frm.cmbVBR(), frm.cmbSize(), frm.cmbFPS(), frm.cmbAB()}));
    // The arrows are the mouse's way into the lists; the keyboard opens the combo boxes themselves.
    QCOMPARE(frm.picVBR()->focusPolicy(), Qt::NoFocus);
  }

  void hiddenStores() {
    frmMain frm;
    QVERIFY(frm.lstFile().Empty());
    QCOMPARE(frm.menuMsg()->text(), QString("b0"));
    QVERIFY(frm.menuMsg()->isHidden());
    QCOMPARE(frm.Timer1()->interval(), 500);
    QVERIFY(!frm.Timer1()->isActive());
    // Design pictures: the browse button and the arrows start in their normal look.
    QCOMPARE(frm.imgBrowse()->picture().cacheKey(), frm.imgBrowseNormal().cacheKey());
    QCOMPARE(frm.picAB()->picture().cacheKey(), frm.imgButtonNormal().cacheKey());
    QVERIFY(frm.imgButton(0)->picture().isNull());
    QVERIFY(frm.imgButton(vintrel::kActionCount) == nullptr && frm.imgButton(-1) == nullptr);
  }

  void listShowsTheQueue() {
    frmMain frm;
    QTreeView* lv = frm.LV();
    QVERIFY(lv->isHeaderHidden());
    QCOMPARE(lv->model()->columnCount(), 2);
    QCOMPARE(lv->model()->headerData(0, Qt::Horizontal).toString(), QString("Filename"));
    QCOMPARE(lv->model()->headerData(1, Qt::Horizontal).toString(), QString("Type"));
    QCOMPARE(lv->columnWidth(0), 176);
    QCOMPARE(lv->columnWidth(1), 93);

    frm.lstFile().AddToQueue("/videos/a.avi");
    frm.lstFile().AddToQueue("/videos/movie.Mp4");
    frm.lstFile().AddToQueue("/videos/a.avi");
    QCOMPARE(lv->model()->rowCount(), 3);
    QCOMPARE(lv->model()->index(1, 0).data().toString(), QString("/videos/movie.Mp4"));
    QCOMPARE(lv->model()->index(1, 1).data().toString(), QString("MP4"));
    QCOMPARE(frm.SelectedRow(), -1);

    lv->selectionModel()->select(lv->model()->index(2, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(frm.SelectedRow(), 2);
    frm.lstFile().RemoveHead();
    QCOMPARE(lv->model()->rowCount(), 2);
    QCOMPARE(lv->model()->index(0, 0).data().toString(), QString("/videos/movie.Mp4"));
    QCOMPARE(frm.SelectedRow(), 1);  // the selection follows its row
    frm.lstFile().RemoveAt(1);
    frm.lstFile().RemoveAt(0);
    QCOMPARE(lv->model()->rowCount(), 0);
    QCOMPARE(frm.SelectedRow(), -1);
  }

  void progressDisplay() {
    frmMain frm;
    const struct {
      double twips;
      int pixels;
      double stored;
    } cases[] = {{3960, 264, 3960}, {1980, 132, 1980},  {1277.42, 85, 1277.42}, {0, 0, 0},
                 {-40, 0, 0},       {99999, 264, 3960}, {std::nan(""), 0, 0}};
    for (const auto& c : cases) {
      frm.SetProgressBar(c.twips);
      QCOMPARE(frm.imgPB()->width(), c.pixels);
      QCOMPARE(frm.imgPB()->height(), 11);
      QCOMPARE(frm.imgPB()->pos(), QPoint(16, 371));
      QCOMPARE(frm.ProgressBarTwips(), c.stored);
    }
    QVERIFY(frm.imgPB()->stretch());
  }

  void actionSetEnablesTogether() {
    frmMain frm;
    frm.SetActionsEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(frm.imgButton(0)), static_cast<QWidget*>(frm.imgButton(1)),
                       static_cast<QWidget*>(frm.imgButton(2)), static_cast<QWidget*>(frm.LV()),
                       static_cast<QWidget*>(frm.imgBrowse())}) {
      QVERIFY(!w->isEnabled());
    }
    // Pickers, the folder field, minimise and exit stay usable during a batch.
    for (QWidget* w : {static_cast<QWidget*>(frm.cmbAB()), static_cast<QWidget*>(frm.picAB()),
                       static_cast<QWidget*>(frm.txtPath()), static_cast<QWidget*>(frm.imgMin()),
                       static_cast<QWidget*>(frm.imgExit())}) {
      QVERIFY(w->isEnabled());
    }
    frm.SetActionsEnabled(true);
    QVERIFY(frm.imgButton(2)->isEnabled() && frm.LV()->isEnabled() && frm.imgBrowse()->isEnabled());

    QVERIFY(!frm.picDragText()->isHidden());
    frm.SetDropHintVisible(false);
    QVERIFY(frm.picDragText()->isHidden());
    frm.SetDropHintVisible(true);
    QVERIFY(!frm.picDragText()->isHidden());
  }

  void centredOnFirstShow() {
    frmMain frm;
    frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frm));
    const QPoint centre = frm.screen()->availableGeometry().center();
    QVERIFY2((frm.geometry().center() - centre).manhattanLength() <= 2,
             qPrintable(QString("window centre %1,%2")
                            .arg(frm.geometry().center().x())
                            .arg(frm.geometry().center().y())));
    // Not again on a later show.
    frm.hide();
    frm.move(10, 20);
    frm.show();
    QTRY_COMPARE(frm.pos(), QPoint(10, 20));
  }
};

QTEST_MAIN(FrmMainLayoutTest)
#include "frm_main_layout_test.moc"
