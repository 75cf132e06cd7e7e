// The image buttons' looks and clicks, the picker arrows and the output-folder browser.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

#include "frm_main.h"
#include "skin_image.h"

namespace {
namespace face = vintrel::face;

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

  for (int i = 0; i < face::kSmallImageCount; ++i) ConnectLooks(SmallImage(i), i);
  connect(imgBrowse_, &SkinImage::clicked, this, &frmMain::imgBrowse_Click);
  for (const vintrel::PickerRow& row : vintrel::kPickerRows) {
    connect(Arrow(row.picker), &SkinImage::clicked, this,
            [this, picker = row.picker] { OpenPicker(picker); });
  }

  connect(imgMin_, &SkinImage::clicked, this, &frmMain::imgMin_Click);
  connect(imgExit_, &SkinImage::clicked, this, &frmMain::imgExit_Click);
}

void frmMain::ConnectLooks(SkinImage* image, int smallImage) {
  connect(image, &SkinImage::mouseDown, this, [this, smallImage] {
    looks_.SmallDown(smallImage);
    ApplyLooks();
  });
  connect(image, &SkinImage::mouseMove, this, [this, smallImage] {
    looks_.SmallMove(smallImage);
    ApplyLooks();
  });
}

SkinImage* frmMain::SmallImage(int index) const {
  if (index == face::kBrowseImage) return imgBrowse_;
  return arrows_.at(static_cast<std::size_t>(index - face::kFirstArrow));
}

void frmMain::ApplyLooks() {
  const QPixmap none;
  for (int i = 0; i < vintrel::kActionCount; ++i) {
    const face::LookPictures<const QPixmap*> pictures{&none, &imgButtonData(i), &imgButtonPush(i)};
    imgButton(i)->setPicture(*pictures[looks_.Action(i)]);
  }
  const face::LookPictures<const QPixmap*> browse{&imgBrowseNormal_, &imgBrowseMove_, &imgBrowsePush_};
  const face::LookPictures<const QPixmap*> arrow{&imgButtonNormal_, &imgButtonMove_, &imgButtonPush1_};
  for (int i = 0; i < face::kSmallImageCount; ++i) {
    SmallImage(i)->setPicture(*(i == face::kBrowseImage ? browse : arrow)[looks_.Small(i)]);
  }
}

void frmMain::ClearActionButtons() {
  looks_.ClearActions();
  ApplyLooks();
}

void frmMain::imgButton_MouseDown(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  looks_.ActionDown(index);
  ApplyLooks();
}

void frmMain::imgButton_MouseMove(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  looks_.ActionMove(index);
  ApplyLooks();
}

void frmMain::imgButton_MouseUp(int index, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
  if (onRelease) onRelease(index);
}

void frmMain::Form_MouseMove() {
  looks_.FormMove();
  ApplyLooks();
}

void frmMain::imgBrowse_Click() {
  if (onBrowse) onBrowse();
}

QString frmMain::ChooseFolder() {
  const QString title = QString::fromUtf8(face::kFolderDialogTitle.data(),
                                          static_cast<qsizetype>(face::kFolderDialogTitle.size()));
  const QString current = txtPath_->text();
  const QString start = !current.isEmpty() && QDir(current).exists() ? current : QString();
  const KeepFocus keep(*this);
  return folderDialog ? folderDialog(this, title, start) : AskForFolder(this, title, start);
}

void frmMain::OpenPicker(vintrel::Picker picker) {
  Combo(picker)->showPopup();
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
