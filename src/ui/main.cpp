#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/launch_client.h"
#include "app/launch_server.h"
#include "app/platform.h"
#include "app/shutdown.h"
#include "app_shell.h"
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

// True when the window of this user that runs has the files (and this launch is done); exits
// with a message when a window is there but did not take them.
bool HandedToRunningWindow(const vintrel::AppPaths& paths, const std::vector<std::string>& files) {
  const vintrel::HandOffResult handed = vintrel::HandToRunningWindow(paths.workingFolder, files);
  if (handed.outcome == vintrel::HandOff::Taken) return true;
  if (handed.outcome == vintrel::HandOff::NoWindow) return false;
  std::fprintf(stderr, "vintrel: %s\n", handed.problem.c_str());
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vintrel"));
  QApplication::setApplicationVersion(QString::fromLatin1(vintrel::kVersionText));

  const vintrel::AppPaths paths = vintrel::ResolveAppPaths(vintrel::ApplicationFolder());
  const std::vector<std::string> files = FilesFromCommandLine(argc, argv);
  if (HandedToRunningWindow(paths, files)) return 0;

  AppShell shell(paths);
  shell.Load();
  // Two launches at once: the one that got the channel first is the window.
  if (!shell.OpenLaunchChannel() && shell.launchServer()->AnotherWindow() &&
      HandedToRunningWindow(paths, files))
    return 0;
  vintrel::CleanUpOnTermination(shell.temporaryFiles());
  shell.window().show();
  shell.OpenCommandBox();
  shell.TakeStartupFiles(files);
  // However the application is asked to end, it ends as an unload does.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell, [&shell] { shell.Form_Unload(); });
  return app.exec();
}
