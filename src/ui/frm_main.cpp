// The window's controls: places, kinds, items, tool tips, fonts, colours, stacking, stores.
#include "frm_main.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "app/pickers.h"
#include "file_drop.h"
#include "queue_model.h"
#include "skin_image.h"
#include "skin_pictures.h"

namespace {

namespace face = vintrel::face;

QRect Place(face::Twips twips) {
  const face::Pixels px = face::ToPixels(twips);
  return QRect(px.left, px.top, px.width, px.height);
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont Tahoma(qreal points, bool bold) {
  // Absent on most Linux systems: point the font database at faces of similar width first.
  static const bool substituted = [] {
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arial"), QStringLiteral("Verdana")});
    return true;
  }();
  (void)substituted;
  QFont font(Text(face::kFontFace));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

void FitTextToWidth(QLabel* label) {
  QFont font = label->font();
  font.setPointSizeF(face::FittingPoints(font.pointSizeF(), label->width(), [&](double points) {
    QFont trial = font;
    trial.setPointSizeF(points);
    return QFontMetrics(trial).horizontalAdvance(label->text());
  }));
  label->setFont(font);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setWindowTitle(Text(face::kWindowTitle));
  setWindowIcon(skin::WindowIcon());
  setFixedSize(kClientWidth, kClientHeight);
  setFont(Tahoma(face::kDefaultPoints, false));
  setMouseTracking(true);
  skin_ = skin::Picture(QStringLiteral("skin"));

  CreateStores();
  // Images and labels first: the child windows created after them lie above them.
  CreateImages();
  CreateLists();
  CreatePickers();
  ConnectButtons();
  CreateAccess();

  const std::string_view initial = vintrel::CommandBox::kInitialText;
  menuMsg_ = new QLineEdit(QString::fromLatin1(initial.data(), static_cast<qsizetype>(initial.size())), this);
  menuMsg_->setGeometry(-1000, -1000, 40, 20);
  menuMsg_->hide();
  Timer1_ = new QTimer(this);
  Timer1_->setInterval(500);

  ApplyWindowStyle();
}

frmMain::~frmMain() = default;

void frmMain::CreateStores() {
  const auto picture = [](std::string_view name) { return skin::Picture(Text(name)); };
  for (int i = 0; i < vintrel::kActionCount; ++i) {
    imgButtonData_[static_cast<std::size_t>(i)] = picture(face::ActionPicture(i, face::Look::Hover));
    imgButtonPush_[static_cast<std::size_t>(i)] = picture(face::ActionPicture(i, face::Look::Pressed));
  }
  imgButtonNormal_ = picture(face::kArrowPictures.normal);
  imgButtonMove_ = picture(face::kArrowPictures.hover);
  imgButtonPush1_ = picture(face::kArrowPictures.pressed);
  imgBrowseNormal_ = picture(face::kBrowsePictures.normal);
  imgBrowseMove_ = picture(face::kBrowsePictures.hover);
  imgBrowsePush_ = picture(face::kBrowsePictures.pressed);
}

void frmMain::CreateImages() {
  for (std::size_t i = 0; i < imgButton_.size(); ++i) {
    imgButton_[i] = new SkinImage(this);
    imgButton_[i]->setObjectName(QStringLiteral("imgButton%1").arg(i));
    imgButton_[i]->setGeometry(Place(face::kActionPlaces[i]));
    imgButton_[i]->setToolTip(Text(face::kActionTips[i]));
  }

  lblVersion_ = new QLabel(this);
  lblVersion_->setObjectName(QStringLiteral("lblVersion"));
  lblVersion_->setGeometry(Place(face::kVersionPlace));
  lblVersion_->setAttribute(Qt::WA_NoMousePropagation);
  lblVersion_->installEventFilter(this);

  const QCursor hand = skin::HandCursor();
  imgMin_ = new SkinImage(this);
  imgMin_->setObjectName(QStringLiteral("imgMin"));
  imgMin_->setGeometry(Place(face::kMinPlace));
  imgMin_->setToolTip(Text(face::kMinTip));
  imgMin_->setCursor(hand);
  imgExit_ = new SkinImage(this);
  imgExit_->setObjectName(QStringLiteral("imgExit"));
  imgExit_->setGeometry(Place(face::kExitPlace));
  imgExit_->setToolTip(Text(face::kExitTip));
  imgExit_->setCursor(hand);

  imgBrowse_ = new SkinImage(this);
  imgBrowse_->setObjectName(QStringLiteral("imgBrowse"));
  imgBrowse_->setGeometry(Place(face::kBrowsePlace));
  imgBrowse_->setPicture(imgBrowseNormal_);
  imgBrowse_->setToolTip(Text(face::kBrowseTip));

  imgPB_ = new SkinImage(this);
  imgPB_->setObjectName(QStringLiteral("imgPB"));
  imgPB_->setGeometry(Place(face::kBarPlace));
  imgPB_->setStretch(true);
  imgPB_->setPicture(skin::Picture(QStringLiteral("progress")));
  SetProgressBar(0);

  // Created after the bar, so the percentage stays readable over it.
  lblPB_ = new StatusLabel(Text(face::kInitialPercent), this);
  lblPB_->setObjectName(QStringLiteral("lblPB"));
  lblPB_->setGeometry(Place(face::kPercentPlace));
  lblPB_->setAlignment(Qt::AlignCenter);
  lblPB_->setFont(Tahoma(face::kPercentPoints, true));
  SetTextColour(lblPB_, Qt::black);
  lblPB_->setAttribute(Qt::WA_NoMousePropagation);
}

void frmMain::CreateLists() {
  LV_ = new QTreeView(this);
  LV_->setObjectName(QStringLiteral("LV"));
  LV_->setGeometry(Place(face::kListPlace));
  queueModel_ = new QueueListModel(this);
  LV_->setModel(queueModel_);
  LV_->setHeaderHidden(true);
  LV_->setRootIsDecorated(false);
  LV_->setItemsExpandable(false);
  LV_->setUniformRowHeights(true);
  LV_->setAllColumnsShowFocus(true);
  LV_->setSelectionMode(QAbstractItemView::SingleSelection);
  LV_->setSelectionBehavior(QAbstractItemView::SelectRows);
  LV_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LV_->setTextElideMode(Qt::ElideMiddle);
  LV_->setFrameShape(QFrame::NoFrame);
  LV_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  LV_->header()->setStretchLastSection(true);
  LV_->setColumnWidth(QueueListModel::kFilename, face::kFilenameColumnPixels);
  LV_->setColumnWidth(QueueListModel::kType, face::kTypeColumnPixels);
  LV_->setAttribute(Qt::WA_NoMousePropagation);

  // The drop hint lies on top of the list.
  picDragText_ = new QWidget(this);
  picDragText_->setObjectName(QStringLiteral("picDragText"));
  picDragText_->setGeometry(Place(face::kDropHintPlace));
  picDragText_->setAutoFillBackground(true);
  QPalette hintPalette = picDragText_->palette();
  hintPalette.setColor(QPalette::Window, hintPalette.color(QPalette::Base));
  picDragText_->setPalette(hintPalette);
  picDragText_->setAttribute(Qt::WA_NoMousePropagation);

  Label1_ = new QLabel(Text(face::kDropHintText), picDragText_);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setGeometry(Place(face::kDropLabelPlace));
  Label1_->setAlignment(Qt::AlignCenter);
  Label1_->setFont(Tahoma(face::kDropHintPoints, true));
  FitTextToWidth(Label1_);
  SetTextColour(Label1_,
                QColor(face::kDropHintColour.red, face::kDropHintColour.green, face::kDropHintColour.blue));
  Label1_->setAttribute(Qt::WA_NoMousePropagation);

  dropFilter_ = new FileDropFilter(this);
  dropFilter_->Watch(LV_->viewport());
  dropFilter_->Watch(picDragText_);
  dropFilter_->Watch(Label1_);
  dropFilter_->onDrop = [this](const QStringList& paths) {
    if (onFilesDropped) onFilesDropped(paths);
  };
}

void frmMain::CreatePickers() {
  for (const vintrel::PickerRow& row : vintrel::kPickerRows) {
    const face::PickerControl& control = face::kPickers[vintrel::Index(row.picker)];
    QComboBox* combo = combos_[vintrel::Index(row.picker)] = new QComboBox(this);
    combo->setObjectName(QStringLiteral("cmb") + Text(control.name));
    combo->setGeometry(Place(control.combo));
    combo->setToolTip(Text(control.tip));
    combo->setAttribute(Qt::WA_NoMousePropagation);
    for (std::string_view item : row.items) combo->addItem(Text(item));
    combo->setCurrentIndex(row.defaultIndex);
  }

  // Each arrow is created after its combo box, so it covers the combo box's own arrow button.
  for (std::size_t i = 0; i < face::kPickers.size(); ++i) {
    SkinImage* arrow = arrows_[i] = new SkinImage(this);
    arrow->setObjectName(QStringLiteral("pic") + Text(face::kPickers[i].name));
    arrow->setGeometry(Place(face::kPickers[i].arrow));
    arrow->setPicture(imgButtonNormal_);
  }

  txtPath_ = new QLineEdit(this);
  txtPath_->setObjectName(QStringLiteral("txtPath"));
  txtPath_->setGeometry(Place(face::kPathPlace));
  txtPath_->setAttribute(Qt::WA_NoMousePropagation);
}

SkinImage* frmMain::imgButton(int index) const {
  if (index < 0 || index >= static_cast<int>(imgButton_.size())) return nullptr;
  return imgButton_[static_cast<std::size_t>(index)];
}

vintrel::StoredSettings frmMain::Settings() const {
  vintrel::StoredSettings settings;
  for (std::size_t i = 0; i < combos_.size(); ++i) settings.pickers.values[i] = combos_[i]->currentIndex();
  settings.outputFolder = txtPath_->text().toStdString();
  return settings;
}

void frmMain::SetSettings(const vintrel::StoredSettings& settings) {
  for (std::size_t i = 0; i < combos_.size(); ++i) combos_[i]->setCurrentIndex(settings.pickers.values[i]);
  txtPath_->setText(QString::fromStdString(settings.outputFolder));
}

void frmMain::SetActionsEnabled(bool enabled) {
  const std::array<QWidget*, 5> affected{imgButton_[0], imgButton_[1], imgButton_[2], LV_, imgBrowse_};
  focusBeforeBatch_.Leave(enabled, focusWidget(), affected);
  for (QWidget* widget : affected) widget->setEnabled(enabled);
  if (QWidget* back = focusBeforeBatch_.Return(enabled)) back->setFocus(Qt::OtherFocusReason);
}

void frmMain::SetProgressLabel(const QString& text) {
  lblPB_->setText(text);
}

void frmMain::SetProgressBar(double twips) {
  barTwips_ = face::BarTwips(twips);
  imgPB_->resize(face::TwipsToPixels(barTwips_), imgPB_->height());
  imgPB_->setBarValue(face::BarPercent(barTwips_));
}

void frmMain::SetDropHintVisible(bool visible) {
  picDragText_->setVisible(visible);
}

void frmMain::RowAppended(std::size_t row, const vintrel::QueueEntry& entry) {
  queueModel_->Appended(row, entry);
}

void frmMain::RowRemoved(std::size_t row) {
  queueModel_->Removed(row);
}

int frmMain::SelectedRow() const {
  const QItemSelectionModel* selection = LV_->selectionModel();
  if (selection == nullptr) return -1;
  const QModelIndexList rows = selection->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}
