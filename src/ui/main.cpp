#include <QApplication>
#include <QLabel>

#include "frm_main.h"
#include "vintrel_version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vintrel"));
  QApplication::setApplicationVersion(QString::fromLatin1(vintrel::kVersionText));

  frmMain window;
  QPalette version = window.lblVersion()->palette();
  version.setColor(QPalette::WindowText, QColor(44, 103, 155));
  window.lblVersion()->setPalette(version);
  window.lblVersion()->setText(QStringLiteral("Ver ") + QString::fromLatin1(vintrel::kVersionText));
  window.show();
  return app.exec();
}
