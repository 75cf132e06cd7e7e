// Runs the application on a given folder and leaves it as a person would; the process ends inside
// the application's own unload, so the exit status tells whether it did.
//   app_child APP_FOLDER exit  VBR SIZE FPS AB FOLDER   pickers and folder set, then imgExit clicked
//   app_child APP_FOLDER close VBR SIZE FPS AB FOLDER   the same, then the window closed by the system
//   app_child APP_FOLDER report                         prints what start-up restored, then closes
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <cstdio>

#include "app_shell.h"
#include "frm_main.h"
#include "skin_image.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  const QString mode = QString::fromLocal8Bit(argv[2]);
  AppShell shell(vintrel::ResolveAppPaths(argv[1]));
  shell.Load();
  frmMain& frm = shell.Window();
  frm.show();
  if (!QTest::qWaitForWindowExposed(&frm)) return 4;

  if (mode == QLatin1String("report")) {
    const vintrel::StoredSettings s = shell.Window().Settings();
    std::printf("%d %d %d %d|%s\n", s.VideoBitrate(), s.FrameSize(), s.FrameRate(), s.AudioBitrate(),
                s.outputFolder.c_str());
    std::fflush(stdout);
    frm.close();
    return 3;
  }
  if (argc < 8) return 2;
  frm.cmbVBR()->setCurrentIndex(std::atoi(argv[3]));
  frm.cmbSize()->setCurrentIndex(std::atoi(argv[4]));
  frm.cmbFPS()->setCurrentIndex(std::atoi(argv[5]));
  frm.cmbAB()->setCurrentIndex(std::atoi(argv[6]));
  frm.txtPath()->setText(QString::fromLocal8Bit(argv[7]));
  if (mode == QLatin1String("exit")) {
    QTest::mouseClick(frm.imgExit(), Qt::LeftButton);
  } else {
    frm.close();
  }
  return 3;  // the unload should have ended the process before this
}
