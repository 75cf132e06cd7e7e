#include "app_shell.h"

#include <QLineEdit>
#include <QMetaObject>
#include <cstdio>

#include "app/command_box_server.h"
#include "app/launch_server.h"
#include "frm_main.h"
#include "local_server_pump.h"

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

AppShell::AppShell(vintrel::AppPaths paths, ShellSeams seams)
    : seams_(seams.WithDefaults()),
      frm_(std::make_unique<frmMain>()),
      port_(*frm_, seams_, paths.addDialogFolder),
      presenter_(port_, std::move(paths)) {
  presenter_.ConnectHooks(*frm_);
  frm_->onFilesDropped = [this](const QStringList& dropped) { OnFilesDropped(dropped); };
  connect(frm_->menuMsg(), &QLineEdit::textChanged, this, &AppShell::menuMsg_Change);
}

AppShell::~AppShell() {
  static_cast<vintrel::face::WindowHooks&>(*frm_) = {};
  frm_->onFilesDropped = nullptr;
  serverPump_.reset();
  server_.reset();
  launchPump_.reset();
  launch_.reset();
}

bool AppShell::OpenCommandBox() {
  if (server_) return true;
  const vintrel::StartupOutcome& startup = presenter_.Startup();
  const vintrel::AppPaths& paths = presenter_.Paths();
  if (!startup.workingFolderProblem.empty()) {
    // Someone else holds the place of the box: that is worth a word, not a silent absence.
    seams_.message(frm_.get(), QStringLiteral("Vintrel"),
                   QStringLiteral("The command box for other programs is off: %1.")
                       .arg(FromUtf8(startup.workingFolderProblem)),
                   vintrel::MessageIcon::Exclamation);
  }
  server_ = std::make_unique<vintrel::CommandBoxServer>();
  server_->onText = [this](const std::string& text) {
    // Queued: an action may run a whole batch, and the socket must be free meanwhile.
    QMetaObject::invokeMethod(
        this, [this, box = FromUtf8(text)] { ApplyCommandBoxText(box); }, Qt::QueuedConnection);
  };
  if (server_->Listen(startup.workingFolderUsable ? paths.workingFolder : std::string())) {
    serverPump_ = std::make_unique<LocalServerPump>(server_->Sockets());
    serverPump_->Start();
    return true;
  }
  std::fprintf(stderr, "vintrel: the command box is not available: %s\n", server_->ErrorText().c_str());
  server_.reset();
  return false;
}

void AppShell::ApplyCommandBoxText(const QString& text) {
  presenter_.OfferCommandBoxText(text.toStdString());
  emit commandBoxTextApplied(text);
}

bool AppShell::OpenLaunchChannel() {
  if (launch_ && launch_->Listening()) return true;
  launchPump_.reset();
  launch_ = std::make_unique<vintrel::LaunchServer>();
  launch_->onFiles = [this](std::vector<std::string> files) { return TakeLaunch(std::move(files)); };
  const bool usable = presenter_.Startup().workingFolderUsable;
  if (launch_->Listen(usable ? presenter_.Paths().workingFolder : std::string())) {
    launchPump_ = std::make_unique<LocalServerPump>(launch_->Sockets());
    launchPump_->Start();
    return true;
  }
  if (!launch_->AnotherWindow())
    std::fprintf(stderr, "vintrel: later launches cannot reach this window: %s\n",
                 launch_->ErrorText().c_str());
  return false;
}

bool AppShell::TakeLaunch(std::vector<std::string> files) {
  const bool taken = presenter_.TakeLaunch(std::move(files));
  frm_->show();
  frm_->setWindowState(frm_->windowState() & ~Qt::WindowMinimized);
  frm_->raise();
  frm_->activateWindow();
  return taken;
}

void AppShell::menuMsg_Change(const QString& text) {
  presenter_.CommandBoxChanged(text.toStdString());
}

void AppShell::OnFilesDropped(const QStringList& dropped) {
  std::vector<std::string> paths;
  for (const QString& path : dropped) paths.push_back(path.toStdString());
  presenter_.DropFiles(paths);
}
