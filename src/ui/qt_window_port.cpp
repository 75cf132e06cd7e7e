#include "qt_window_port.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QUrl>
#include <cstdlib>

#include "app/command_box.h"
#include "frm_main.h"
#include "intake/open_files.h"
#include "skin_image.h"
#include "sound_player.h"

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString AskForFile(QWidget* parent, const OpenFilesRequest& request) {
  QString selected = request.selectedFilter;
  // Only the descriptions show, as the filter list gives them; the patterns stay behind them.
  const QString chosen = QFileDialog::getOpenFileName(parent, request.title, request.startFolder,
                                                      request.filters.join(QStringLiteral(";;")), &selected,
                                                      QFileDialog::HideNameFilterDetails);
  return QDir::toNativeSeparators(chosen);
}

void ShowDetailedMessageBox(QWidget* parent, const QString& title, const QString& text,
                            const QString& details, vintrel::MessageIcon icon) {
  QMessageBox::Icon look = QMessageBox::Information;
  if (icon == vintrel::MessageIcon::Exclamation) look = QMessageBox::Warning;
  if (icon == vintrel::MessageIcon::Critical) look = QMessageBox::Critical;
  QMessageBox box(look, title, text, QMessageBox::Ok, parent);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.exec();
}

void ShowMessageBox(QWidget* parent, const QString& title, const QString& text, vintrel::MessageIcon icon) {
  ShowDetailedMessageBox(parent, title, text, QString(), icon);
}

void OpenInFileBrowser(const QString& folder) {
  // Quietly: the batch is over either way, and its files are where the label says. The batch
  // hands over only an existing folder, in full.
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

[[noreturn]] void EndAtOnce(int status) {
  std::_Exit(status);
}

}  // namespace

OpenFilesRequest AddFilesRequest(const std::string& programFolder) {
  OpenFilesRequest request;
  request.title = FromUtf8(vintrel::kOpenFilesTitle);
  request.startFolder = FromUtf8(vintrel::ResolveStartFolder("", programFolder, vintrel::FolderHasEntries));
  for (const vintrel::FilterPair& pair : vintrel::SplitFilter(vintrel::kOpenFilesFilter)) {
    // The Windows dialog matches without regard to case by itself.
    const std::string pattern = vintrel::NativePathStyle() == vintrel::PathStyle::Windows
                                    ? pair.pattern
                                    : vintrel::BothCasePatterns(pair.pattern);
    request.filters << FromUtf8(pair.description) + QStringLiteral(" (") + FromUtf8(pattern) +
                           QStringLiteral(")");
  }
  if (!request.filters.isEmpty()) request.selectedFilter = request.filters.first();
  return request;
}

ShellSeams ShellSeams::WithDefaults() const {
  ShellSeams seams = *this;
  if (!seams.openFiles) seams.openFiles = AskForFile;
  if (!seams.detailedMessage && seams.message) {
    seams.detailedMessage = [message = seams.message](
                                QWidget* parent, const QString& title, const QString& text, const QString&,
                                vintrel::MessageIcon icon) { message(parent, title, text, icon); };
  }
  if (!seams.message) seams.message = ShowMessageBox;
  if (!seams.detailedMessage) seams.detailedMessage = ShowDetailedMessageBox;
  if (!seams.openFolder) seams.openFolder = OpenInFileBrowser;
  if (!seams.playSound) seams.playSound = ::PlaySoundToEnd;
  if (!seams.endProcess) seams.endProcess = EndAtOnce;
  return seams;
}

QtWindowPort::QtWindowPort(frmMain& frm, const ShellSeams& seams, std::string programFolder)
    : WindowAdapter(frm), frm_(frm), seams_(seams), programFolder_(std::move(programFolder)) {}

void QtWindowPort::SetVersion(const std::string& caption, vintrel::Rgb colour) {
  QPalette palette = frm_.lblVersion()->palette();
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  frm_.lblVersion()->setPalette(palette);
  frm_.lblVersion()->setText(FromUtf8(caption));
}

void QtWindowPort::SetProgressLabel(const std::string& text) {
  frm_.SetProgressLabel(FromUtf8(text));
}

bool QtWindowPort::PaintNow() {
  const QPointer<frmMain> alive(&frm_);
  QCoreApplication::processEvents();
  return !alive.isNull();
}

std::string QtWindowPort::AskForFolder(const std::string&) {
  return frm_.ChooseFolder().toStdString();
}

void QtWindowPort::SetCommandBoxText(const std::string& text) {
  frm_.menuMsg()->setText(FromUtf8(text));
}

void QtWindowPort::EndProcess(int status) {
  seams_.endProcess(status);
}

void QtWindowPort::ShowMessage(const std::string& title, const std::string& text, vintrel::MessageIcon icon) {
  const frmMain::KeepFocus keep(frm_);
  seams_.message(&frm_, FromUtf8(title), FromUtf8(text), icon);
}

void QtWindowPort::ShowDetailedMessage(const std::string& title, const std::string& text,
                                       const std::string& details, vintrel::MessageIcon icon) {
  const frmMain::KeepFocus keep(frm_);
  seams_.detailedMessage(&frm_, FromUtf8(title), FromUtf8(text), FromUtf8(details), icon);
}

std::string QtWindowPort::AskForSourceFile() {
  const frmMain::KeepFocus keep(frm_);
  return seams_.openFiles(&frm_, AddFilesRequest(programFolder_)).toStdString();
}

void QtWindowPort::OpenFolder(const std::string& folder) {
  seams_.openFolder(FromUtf8(folder));
}

void QtWindowPort::PlaySoundToEnd(const std::string& wavFile) {
  seams_.playSound(FromUtf8(wavFile));
}
