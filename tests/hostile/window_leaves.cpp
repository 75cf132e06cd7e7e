// The real window, left in the middle of a file: two files are added through the dialog seam,
// Convert is pressed, and once the encoder holds its output open the exit image is clicked.
// The window saves its settings and ends the process at once, as it always does.
//   window_leaves APP_FOLDER OUTPUT_FOLDER SOURCE...
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <filesystem>

#include "app_shell.h"
#include "frm_main.h"
#include "hostile_support.h"
#include "skin_image.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 4) return 2;
  const std::filesystem::path out = argv[2];
  QStringList sources;
  for (int i = 3; i < argc; ++i) sources << QString::fromLocal8Bit(argv[i]);

  ShellSeams seams;
  seams.openFiles = [&sources](QWidget*, const OpenFilesRequest&) {
    return sources.isEmpty() ? QString() : sources.takeFirst();
  };
  seams.message = [](QWidget*, const QString& title, const QString& text, vintrel::MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  };
  seams.openFolder = [](const QString&) {};
  seams.playSound = [](const QString&) {};
  AppShell shell(vintrel::ResolveAppPaths(argv[1]), seams);
  shell.Load();
  frmMain& frm = shell.Window();
  frm.txtPath()->setText(QString::fromLocal8Bit(argv[2]));
  frm.show();
  if (!QTest::qWaitForWindowExposed(&frm)) return 4;
  for (int i = 3; i < argc; ++i) frm.imgButton_MouseUp(0);

  // Runs inside the batch: the runner keeps the window's events flowing while the encoder works.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (pid_t encoder : vintrel::hostile::ChildrenNamed(getpid(), "conv.exe")) {
      if (!vintrel::hostile::HoldsFileIn(encoder, out)) continue;
      std::printf("exit clicked while the encoder wrote its output\n");
      std::fflush(stdout);
      QTest::mouseClick(frm.imgExit(), Qt::LeftButton);
    }
  });
  watch.start(2);
  frm.imgButton_MouseUp(2);
  return 3;  // the batch ended before the exit could be clicked
}
