#include <QApplication>

#include "app/platform.h"
#include "app/shutdown.h"
#include "app_shell.h"
#include "frm_main.h"
#include "vintrel_version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vintrel"));
  QApplication::setApplicationVersion(QString::fromLatin1(vintrel::kVersionText));

  AppShell shell(vintrel::ResolveAppPaths(vintrel::ApplicationFolder()));
  shell.Load();
  vintrel::CleanUpOnTermination(shell.temporaryFiles());
  shell.window().show();
  shell.OpenCommandBox();
  shell.QueueFiles(QApplication::arguments().mid(1));
  // However the application is asked to end, it ends as an unload does.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &shell, [&shell] { shell.Form_Unload(); });
  return app.exec();
}
