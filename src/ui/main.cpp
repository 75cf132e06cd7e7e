#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/launch_client.h"
#include "app/launch_server.h"
#include "app/platform.h"
#include "app_shell.h"
#include "face/start_window.h"
#include "frm_main.h"
#include "vintrel_version.h"

namespace {

// The files exactly as the system gave them (Qt has taken its own options out): a name that is
// not valid UTF-8 still names its file. Made absolute, since another window may take them.
std::vector<std::string> FilesFromCommandLine(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '\0') {
      std::fprintf(stderr, "vintrel: an empty argument names no file; it is left out\n");
      continue;
    }
    std::string absolute = vintrel::AbsolutePath(argv[i]);
    files.push_back(absolute.empty() ? std::string(argv[i]) : std::move(absolute));
  }
  return files;
}

// Start-up's steps as the Qt window carries them out.
class QtStartup : public vintrel::face::StartupHooks {
 public:
  explicit QtStartup(QApplication& app) : app_(app) {}

  vintrel::HandOffResult HandToRunningWindow(const vintrel::AppPaths& paths,
                                             const std::vector<std::string>& files) override {
    vintrel::HandOffResult handed = vintrel::HandToRunningWindow(paths.workingFolder, files);
    if (handed.outcome == vintrel::HandOff::Failed)
      std::fprintf(stderr, "vintrel: %s\n", handed.problem.c_str());
    return handed;
  }

  vintrel::face::Presenter* Load(vintrel::AppPaths paths) override {
    shell_.emplace(std::move(paths));
    shell_->Load();
    return &shell_->Presenter();
  }

  vintrel::face::LaunchChannel OpenLaunchChannel() override {
    if (shell_->OpenLaunchChannel()) return vintrel::face::LaunchChannel::Open;
    return shell_->LaunchChannel()->AnotherWindow() ? vintrel::face::LaunchChannel::AnotherWindow
                                                   : vintrel::face::LaunchChannel::Unavailable;
  }

  void Show() override { shell_->Window().show(); }
  void OpenCommandBox() override { shell_->OpenCommandBox(); }

  int Run() override {
    // However the application is asked to end, it ends as an unload does.
    AppShell& shell = *shell_;
    QObject::connect(&app_, &QCoreApplication::aboutToQuit, &shell, [&shell] { shell.Form_Unload(); });
    return app_.exec();
  }

 private:
  QApplication& app_;
  std::optional<AppShell> shell_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vintrel"));
  QApplication::setApplicationVersion(QString::fromLatin1(vintrel::kVersionText));
  QtStartup startup(app);
  return vintrel::face::StartWindow(startup, FilesFromCommandLine(argc, argv));
}
