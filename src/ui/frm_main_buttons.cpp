// The image buttons' looks and clicks, the picker arrows and the output-folder browser.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <optional>

#include "frm_main.h"
#include "skin_image.h"

namespace {
const char* const kFolderDialogTitle = "Please select a folder:";

QString AskForFolder(QWidget* parent, const QString& title, const QString& start) {
  const QString folder = QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
  return QDir::toNativeSeparators(folder);
}
}  // namespace

void frmMain::ConnectButtons() {
  for (int i = 0; i < static_cast<int>(imgButton_.size()); ++i) {
    SkinImage* button = imgButton_[static_cast<std::size_t>(i)];
    connect(button, &SkinImage::mouseDown, this,
            [this, i](Qt::MouseButtons b, Qt::KeyboardModifiers s, QPoint p) {
              imgButton_MouseDown(i, b, s, p.x(), p.y());
            });
    connect(button, &SkinImage::mouseMove, this,
            [this, i](Qt::MouseButtons b, Qt::KeyboardModifiers s, QPoint p) {
              imgButton_MouseMove(i, b, s, p.x(), p.y());
            });
    connect(button, &SkinImage::mouseUp, this,
            [this, i](Qt::MouseButtons b, Qt::KeyboardModifiers s, QPoint p) {
              imgButton_MouseUp(i, b, s, p.x(), p.y());
            });
  }

  ConnectLooks(imgBrowse_, &imgBrowsePush_, &imgBrowseMove_);
  connect(imgBrowse_, &SkinImage::clicked, this, &frmMain::imgBrowse_Click);
  for (SkinImage* arrow : {picVBR_, picSize_, picFPS_, picAB_})
    ConnectLooks(arrow, &imgButtonPush1_, &imgButtonMove_);
  connect(picVBR_, &SkinImage::clicked, this, &frmMain::picVBR_Click);
  connect(picSize_, &SkinImage::clicked, this, &frmMain::picSize_Click);
  connect(picFPS_, &SkinImage::clicked, this, &frmMain::picFPS_Click);
  connect(picAB_, &SkinImage::clicked, this, &frmMain::picAB_Click);

  connect(imgMin_, &SkinImage::clicked, this, &frmMain::imgMin_Click);
  connect(imgExit_, &SkinImage::clicked, this, &frmMain::imgExit_Click);
}

// Browse button and arrows: pressed on a press, hover on any movement, even with a button down.
void frmMain::ConnectLooks(SkinImage* image, const QPixmap* pressed, const QPixmap* hover) {
  connect(image, &SkinImage::mouseDown, this, [image, pressed] { image->setPicture(*pressed); });
  connect(image, &SkinImage::mouseMove, this, [image, hover] { image->setPicture(*hover); });
}

void frmMain::ClearActionButtons() {
  for (SkinImage* button : imgButton_) button->setPicture(QPixmap());
}

void frmMain::imgButton_MouseDown(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  ClearActionButtons();
  if (SkinImage* button = imgButton(index)) button->setPicture(imgButtonPush(index));
  buttonHeld_ = true;
}

void frmMain::imgButton_MouseMove(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  if (buttonHeld_) return;
  ClearActionButtons();
  if (SkinImage* button = imgButton(index)) button->setPicture(imgButtonData(index));
}

void frmMain::imgButton_MouseUp(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  std::optional<vintrel::CommandBoxGate::Busy> busy;
  if (boxGate) busy.emplace(*boxGate);
  ClearActionButtons();
  if (!fromCommandBox_) {
    if (SkinImage* button = imgButton(index)) button->setPicture(imgButtonData(index));
  }
  fromCommandBox_ = false;
  // Paint the new looks before an action that may take long.
  const QPointer<frmMain> alive(this);
  QCoreApplication::processEvents();
  if (!alive) return;
  buttonHeld_ = false;
  if (onAction) onAction(index);
}

void frmMain::Form_MouseMove() {
  ClearActionButtons();
  for (SkinImage* arrow : {picFPS_, picAB_, picVBR_, picSize_}) arrow->setPicture(imgButtonNormal_);
  imgBrowse_->setPicture(imgBrowseNormal_);
}

void frmMain::imgBrowse_Click() {
  const QString title = QString::fromLatin1(kFolderDialogTitle);
  const QString current = txtPath_->text();
  const QString start = !current.isEmpty() && QDir(current).exists() ? current : QString();
  std::optional<vintrel::CommandBoxGate::Busy> busy;
  if (boxGate) busy.emplace(*boxGate);
  const QString chosen = folderDialog ? folderDialog(this, title, start) : AskForFolder(this, title, start);
  // Cancel leaves the folder as it was.
  if (chosen.isEmpty()) return;
  txtPath_->setText(chosen);
}

void frmMain::OpenPicker(QComboBox* combo) {
  combo->showPopup();
}
void frmMain::picVBR_Click() {
  OpenPicker(cmbVBR_);
}
void frmMain::picSize_Click() {
  OpenPicker(cmbSize_);
}
void frmMain::picFPS_Click() {
  OpenPicker(cmbFPS_);
}
void frmMain::picAB_Click() {
  OpenPicker(cmbAB_);
}

void frmMain::imgMin_Click() {
  setWindowState((windowState() & ~Qt::WindowActive) | Qt::WindowMinimized);
}

void frmMain::imgExit_Click() {
  if (onExit) {
    onExit();
  } else {
    close();
  }
}
