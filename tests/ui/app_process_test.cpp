// The application as a process: settings that survive an exit and a new start, and the real
// program starting on a fresh folder, taking a command from vintrel-cli and cleaning up when the
// system ends it.
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
  int status = -1;
  QString out;
};

// The child's working folder lives inside its application folder, away from any real window's.
Run RunChild(const QStringList& arguments) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TMPDIR"), arguments.first());
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QStringLiteral(VINTREL_APP_CHILD_PATH), arguments);
  Run run;
  if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit) return run;
  run.status = child.exitCode();
  run.out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
  return run;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Touch(const QString& path) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
}

}  // namespace

class AppProcessTest : public QObject {
  Q_OBJECT

 private slots:
  void settingsSurviveExitAndANewStart() {
    QTemporaryDir app;
    QVERIFY(app.isValid());
    const QString ini = app.filePath(QStringLiteral("setup.ini"));

    Run first = RunChild({app.path(), "report"});
    QCOMPARE(first.status, 0);
    QCOMPARE(first.out, QStringLiteral("2 2 0 1|") + app.filePath(QStringLiteral("output")));
    QVERIFY(!QFile::exists(ini));

    QCOMPARE(RunChild({app.path(), "exit", "4", "3", "2", "6", "/srv/out"}).status, 0);
    const QByteArray saved = ReadFile(ini);
    QCOMPARE(saved, QByteArray("\"4\"\r\n\"3\"\r\n\"2\"\r\n\"6\"\r\n\"/srv/out\"\r\n"));
    Run second = RunChild({app.path(), "report"});
    QCOMPARE(second.status, 0);
    QCOMPARE(second.out, QStringLiteral("4 3 2 6|/srv/out"));

    // Closed by the system, not through the exit button: nothing is saved.
    QCOMPARE(RunChild({app.path(), "close", "0", "0", "0", "0", "/elsewhere"}).status, 0);
    QCOMPARE(ReadFile(ini), saved);
    QCOMPARE(RunChild({app.path(), "report"}).out, QStringLiteral("4 3 2 6|/srv/out"));
  }

  void theProgramStartsTakesACommandAndCleansUpWhenTerminated() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("app"));
    QDir(root.path()).mkpath(QStringLiteral("tmp"));
    const QString program = root.filePath(QStringLiteral("app/vintrel"));
    // A copy, because the program finds its folder through its own executable.
    QVERIFY(QFile::copy(QStringLiteral(VINTREL_PROGRAM_PATH), program));
    const QString working = root.filePath(QStringLiteral("tmp/vintrel-%1").arg(getuid()));
    QVERIFY(QDir().mkpath(working));
    QFile::setPermissions(working, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Touch(working + QStringLiteral("/tmpfile.3gp"));
    Touch(working + QStringLiteral("/tmpfile.dat"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), root.filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(environment);
    window.setProcessChannelMode(QProcess::ForwardedChannels);
    window.start(program, {});
    QVERIFY(window.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(working + QStringLiteral("/command-box")), 20000);

    QVERIFY(QFileInfo(root.filePath(QStringLiteral("app/output"))).isDir());
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("app/data"))).isDir());
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.3gp")));
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.dat")));

    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(VINTREL_CLI_PATH), {"--command-box", "b1"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(window.state(), QProcess::Running);

    Touch(working + QStringLiteral("/tmpfile.dat"));
    window.terminate();
    QVERIFY(window.waitForFinished(20000));
    QCOMPARE(window.exitStatus(), QProcess::CrashExit);  // ended by the signal, after cleaning up
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.dat")));
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("app/setup.ini"))));

    // No window, no listener: the sender says so and fails.
    cli.start(QStringLiteral(VINTREL_CLI_PATH), {"--command-box", "b2"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 1);
  }
};

QTEST_GUILESS_MAIN(AppProcessTest)
#include "app_process_test.moc"
