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

namespace face = vintrel::face;

namespace {
QRect Place(face::Twips twips) {
  const face::Pixels px = face::ToPixels(twips);
  return QRect(px.left, px.top, px.width, px.height);
}
QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

class FrmMainLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void window() {
    frmMain frm;
    QCOMPARE(frm.windowTitle(), Text(face::kWindowTitle));
    QVERIFY(frm.windowFlags() & Qt::FramelessWindowHint);
    const QSize client(face::kClientWidth, face::kClientHeight);
    QCOMPARE(frm.size(), client);
    QCOMPARE(frm.minimumSize(), client);
    QCOMPARE(frm.maximumSize(), client);
    QCOMPARE(frm.font().family(), Text(face::kFontFace));
    QCOMPARE(frm.font().pointSizeF(), face::kDefaultPoints);
    QVERIFY(!frm.font().bold());
    QCOMPARE(frm.maskColor(), qRgb(face::kKeyColour.red, face::kKeyColour.green, face::kKeyColour.blue));
    QCOMPARE(frm.mask().boundingRect(), QRect(0, 1, 292, 418));
    QVERIFY(!frm.windowIcon().isNull());
  }

  void controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("tip");
    // Every place and tip as the face's table gives it, in pixels at 96 dpi.
    for (std::size_t i = 0; i < face::kActionPlaces.size(); ++i) {
      const QString name = QString("imgButton%1").arg(i);
      QTest::newRow(qPrintable(name))
          << name << "SkinImage" << Place(face::kActionPlaces[i]) << Text(face::kActionTips[i]);
    }
    QTest::newRow("lblVersion") << "lblVersion"
                                << "QLabel" << Place(face::kVersionPlace) << "";
    QTest::newRow("imgMin") << "imgMin"
                            << "SkinImage" << Place(face::kMinPlace) << Text(face::kMinTip);
    QTest::newRow("imgExit") << "imgExit"
                             << "SkinImage" << Place(face::kExitPlace) << Text(face::kExitTip);
    QTest::newRow("LV") << "LV"
                        << "QTreeView" << Place(face::kListPlace) << "";
    QTest::newRow("picDragText") << "picDragText"
                                 << "QWidget" << Place(face::kDropHintPlace) << "";
    QTest::newRow("Label1") << "Label1"
                            << "QLabel" << Place(face::kDropLabelPlace) << "";
    for (const face::PickerControl& picker : face::kPickers) {
      const QString combo = "cmb" + Text(picker.name), arrow = "pic" + Text(picker.name);
      QTest::newRow(qPrintable(combo)) << combo << "QComboBox" << Place(picker.combo) << Text(picker.tip);
      QTest::newRow(qPrintable(arrow)) << arrow << "SkinImage" << Place(picker.arrow) << "";
    }
    QTest::newRow("txtPath") << "txtPath"
                             << "QLineEdit" << Place(face::kPathPlace) << "";
    QTest::newRow("imgBrowse") << "imgBrowse"
                               << "SkinImage" << Place(face::kBrowsePlace) << Text(face::kBrowseTip);
    // The bar starts empty: width 0.
    QRect bar = Place(face::kBarPlace);
    bar.setWidth(0);
    QTest::newRow("imgPB") << "imgPB"
                           << "SkinImage" << bar << "";
    QTest::newRow("lblPB") << "lblPB"
                           << "StatusLabel" << Place(face::kPercentPlace) << "";
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
    QCOMPARE(frm.Label1()->text(), Text(face::kDropHintText));
    QCOMPARE(frm.Label1()->font().family(), Text(face::kFontFace));
    QVERIFY(frm.Label1()->font().bold());
    QVERIFY(frm.Label1()->font().pointSizeF() <= face::kDropHintPoints &&
            frm.Label1()->font().pointSizeF() >= 6.0);
    QVERIFY2(QFontMetrics(frm.Label1()->font()).horizontalAdvance(frm.Label1()->text()) <=
                 Place(face::kDropLabelPlace).width(),
             "the hint must not be clipped");
    QCOMPARE(frm.Label1()->alignment(), Qt::AlignCenter);
    QCOMPARE(frm.Label1()->palette().color(QPalette::WindowText),
             QColor(face::kDropHintColour.red, face::kDropHintColour.green, face::kDropHintColour.blue));
    QCOMPARE(frm.Label1()->parentWidget(), frm.picDragText());

    QCOMPARE(frm.lblPB()->text(), Text(face::kInitialPercent));
    QCOMPARE(frm.lblPB()->font().family(), Text(face::kFontFace));
    QCOMPARE(frm.lblPB()->font().pointSizeF(), face::kPercentPoints);
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
    frm.SetProgressBar(face::kFullBarTwips);
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
    QCOMPARE(frm.LV()->model()->rowCount(), 0);
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
    QCOMPARE(lv->columnWidth(0), face::kFilenameColumnPixels);
    QCOMPARE(lv->columnWidth(1), face::kTypeColumnPixels);

    // The queue as the presenter holds it, reporting each change to the window.
    vintrel::FileQueue queue;
    queue.onAppended = [&](std::size_t row) { frm.RowAppended(row, queue.At(row)); };
    queue.onRemoved = [&](std::size_t row) { frm.RowRemoved(row); };
    queue.AddToQueue("/videos/a.avi");
    queue.AddToQueue("/videos/movie.Mp4");
    queue.AddToQueue("/videos/a.avi");
    QCOMPARE(lv->model()->rowCount(), 3);
    QCOMPARE(lv->model()->index(1, 0).data().toString(), QString("/videos/movie.Mp4"));
    QCOMPARE(lv->model()->index(1, 1).data().toString(), QString("MP4"));
    QCOMPARE(frm.SelectedRow(), -1);

    lv->selectionModel()->select(lv->model()->index(2, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(frm.SelectedRow(), 2);
    queue.RemoveHead();
    QCOMPARE(lv->model()->rowCount(), 2);
    QCOMPARE(lv->model()->index(0, 0).data().toString(), QString("/videos/movie.Mp4"));
    QCOMPARE(frm.SelectedRow(), 1);  // the selection follows its row
    queue.RemoveAt(1);
    queue.RemoveAt(0);
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
      QCOMPARE(frm.imgPB()->height(), Place(face::kBarPlace).height());
      QCOMPARE(frm.imgPB()->pos(), Place(face::kBarPlace).topLeft());
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
