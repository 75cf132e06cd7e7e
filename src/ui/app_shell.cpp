#include "app_shell.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <cstdio>

#include "app/command_box.h"
#include "app/shutdown.h"
#include "command_box_server.h"
#include "frm_main.h"
#include "launch_server.h"

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

AppShell::AppShell(vintrel::AppPaths paths, ShellSeams seams)
    : paths_(std::move(paths)),
      gate_([this](const std::string& text) { frm_->menuMsg()->setText(FromUtf8(text)); }),
      inbox_([this](const std::vector<std::string>& files) { DropFiles(files); }),
      seams_(seams.WithDefaults()),
      frm_(std::make_unique<frmMain>()),
      display_(*frm_) {
  frm_->boxGate = &gate_;
  frm_->onAction = [this](int index) { OnAction(index); };
  frm_->onExit = [this] { imgExit_Click(); };
  frm_->onUnload = [this] { Form_Unload(); };
  frm_->onFilesDropped = [this](const QStringList& dropped) { OnFilesDropped(dropped); };
  connect(frm_->menuMsg(), &QLineEdit::textChanged, this, &AppShell::menuMsg_Change);
}

AppShell::~AppShell() {
  frm_->onAction = nullptr;
  frm_->onExit = nullptr;
  frm_->onUnload = nullptr;
  frm_->onFilesDropped = nullptr;
  frm_->boxGate = nullptr;
  server_.reset();
  launch_.reset();
}

void AppShell::Load() {
  if (loaded_) return;
  loaded_ = true;
  startup_ = vintrel::Form_Load(paths_, *this);
}

bool AppShell::OpenCommandBox() {
  if (server_) return true;
  if (!startup_.workingFolderProblem.empty()) {
    // Someone else holds the place of the box: that is worth a word, not a silent absence.
    seams_.message(frm_.get(), QStringLiteral("Vintrel"),
                   QStringLiteral("The command box for other programs is off: %1.")
                       .arg(FromUtf8(startup_.workingFolderProblem)),
                   vintrel::MessageIcon::Exclamation);
  }
  server_ = std::make_unique<CommandBoxServer>(frm_->menuMsg(), frm_.get());
  server_->onText = [this](const QString& text) { gate_.Offer(text.toStdString()); };
  if (server_->Listen(startup_.workingFolderUsable ? paths_.workingFolder : std::string())) return true;
  std::fprintf(stderr, "vintrel: the command box is not available: %s\n",
               qUtf8Printable(server_->errorText()));
  server_.reset();
  return false;
}

bool AppShell::OpenLaunchChannel() {
  if (launch_ && launch_->listening()) return true;
  launch_ = std::make_unique<LaunchServer>();
  launch_->onFiles = [this](std::vector<std::string> files) { TakeLaunch(std::move(files)); };
  if (launch_->Listen(startup_.workingFolderUsable ? paths_.workingFolder : std::string())) return true;
  if (!launch_->anotherWindow())
    std::fprintf(stderr, "vintrel: later launches cannot reach this window: %s\n",
                 qUtf8Printable(launch_->errorText()));
  return false;
}

void AppShell::TakeLaunch(std::vector<std::string> files) {
  inbox_.Receive(std::move(files));
  frm_->show();
  frm_->setWindowState(frm_->windowState() & ~Qt::WindowMinimized);
  frm_->raise();
  frm_->activateWindow();
}

vintrel::TemporaryFiles AppShell::temporaryFiles() const {
  if (!startup_.workingFolderUsable) return {};
  return vintrel::TemporaryFilesIn(paths_.workingFolder);
}

void AppShell::imgExit_Click() {
  // A failed save is not worth keeping the user: the previous file stays as it was.
  vintrel::SaveSettings(paths_.settingsFile, frm_->Settings());
  Form_Unload();
}

void AppShell::Form_Unload() {
  if (unloading_) return;
  unloading_ = true;
  vintrel::DeleteTemporaryFiles(temporaryFiles());
  seams_.endProcess(0);
}

void AppShell::menuMsg_Change(const QString& text) {
  frm_->setFromCommandBox(true);
  if (const auto index = vintrel::ActionFromCommandText(text.toStdString())) frm_->imgButton_MouseUp(*index);
}

void AppShell::QueueFiles(const QStringList& paths) {
  // A drop always names files in full; a relative name would depend on the encoder's folder.
  QStringList dropped;
  for (const QString& path : paths) dropped << QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  if (!dropped.isEmpty()) OnFilesDropped(dropped);
}

void AppShell::OnAction(int index) {
  // Launches arriving during an action (a batch, Add's dialog) wait for its end.
  const vintrel::face::LaunchInbox::Busy busy(inbox_);
  if (controller_) controller_->RunAction(index);
}

void AppShell::OnFilesDropped(const QStringList& dropped) {
  std::vector<std::string> paths;
  for (const QString& path : dropped) paths.push_back(path.toStdString());
  DropFiles(paths);
}

void AppShell::DropFiles(const std::vector<std::string>& paths) {
  // The list refuses drops during a batch; the queue must not change under a run either way.
  if (!controller_ || controller_->Running()) return;
  vintrel::FileQueue& queue = frm_->lstFile();
  for (const std::string& path : paths) queue.AddToQueue(path);
  if (!queue.Empty()) frm_->SetDropHintVisible(false);
}

void AppShell::ApplyWindowStyle() {
  frm_->ApplyWindowStyle();
}

void AppShell::SetFromCommandBox(bool value) {
  frm_->setFromCommandBox(value);
}

void AppShell::CreateRunner() {
  desktop_ = std::make_unique<WindowDesktop>(*frm_, seams_, paths_.addDialogFolder);
  objDOS_ = std::make_unique<vintrel::DOSOutputs>(pump_, *desktop_);
  controller_ = std::make_unique<vintrel::BatchController>(
      frm_->lstFile(), *objDOS_, pump_, vintrel::BatchFace{display_, *desktop_, display_, reports_}, paths_);
}

void AppShell::SelectPickers(const vintrel::StoredSettings& settings) {
  vintrel::StoredSettings pickers = settings;
  pickers.outputFolder = frm_->Settings().outputFolder;
  frm_->SetSettings(pickers);
}

void AppShell::SetProgress(double fraction) {
  display_.SetProgress(fraction);
}

std::string AppShell::OutputFolderText() {
  return frm_->Settings().outputFolder;
}

void AppShell::SetOutputFolderText(const std::string& text) {
  vintrel::StoredSettings settings = frm_->Settings();
  settings.outputFolder = text;
  frm_->SetSettings(settings);
}

void AppShell::SetVersionColour(vintrel::Rgb colour) {
  QPalette palette = frm_->lblVersion()->palette();
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  frm_->lblVersion()->setPalette(palette);
}

void AppShell::SetVersionCaption(const std::string& caption) {
  frm_->lblVersion()->setText(FromUtf8(caption));
}
