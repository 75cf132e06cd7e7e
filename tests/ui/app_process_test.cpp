// The application as a process: settings that survive an exit and a new start, and the real
// program starting on a fresh folder, taking a command from vintrel-cli and cleaning up when the
// system ends it.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "app/launch_client.h"
#include "media.h"

namespace {

struct Run {
  int status = -1;
  QString out;
};

// The child's working folder lives inside its application folder, away from any real window's.
Run RunChild(const QStringList& arguments) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TMPDIR"), arguments.first());
  environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
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

// The real program, copied into root/app (it finds its folder through its own executable), with
// its working folder in root/tmp; true once its command box listens.
bool StartWindow(const QTemporaryDir& root, QProcess& window, const QStringList& files = {},
                 QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels) {
  QDir(root.path()).mkpath(QStringLiteral("app"));
  QDir(root.path()).mkpath(QStringLiteral("tmp"));
  const QString program = root.filePath(QStringLiteral("app/vintrel"));
  if (!QFile::exists(program) && !QFile::copy(QStringLiteral(VINTREL_PROGRAM_PATH), program)) return false;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TMPDIR"), root.filePath(QStringLiteral("tmp")));
  environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  window.setProcessEnvironment(environment);
  window.setProcessChannelMode(channels);
  window.start(program, files);
  const QString socket = root.filePath(QStringLiteral("tmp/vintrel-%1/command-box").arg(getuid()));
  return window.waitForStarted() && QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000);
}

int SendWithCli(const QProcessEnvironment& environment, const QString& text) {
  QProcess cli;
  cli.setProcessEnvironment(environment);
  cli.start(QStringLiteral(VINTREL_CLI_PATH), {"--command-box", text});
  return cli.waitForFinished(20000) ? cli.exitCode() : -1;
}

// Top-level X windows titled "Vintrel"; -1 without an X display.
int VintrelWindowsOnX() {
  if (qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("xcb")) return -1;
  QProcess list;
  list.start(QStringLiteral("xwininfo"), {"-root", "-children"});
  if (!list.waitForFinished(10000) || list.exitCode() != 0) return -1;
  return static_cast<int>(list.readAllStandardOutput().count("\"Vintrel\""));
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
    const QString working = root.filePath(QStringLiteral("tmp/vintrel-%1").arg(getuid()));
    QVERIFY(QDir().mkpath(working));
    QFile::setPermissions(working, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Touch(working + QStringLiteral("/tmpfile.3gp"));
    Touch(working + QStringLiteral("/tmpfile.dat"));
    QProcess window;
    QVERIFY(StartWindow(root, window));
    const QProcessEnvironment environment = window.processEnvironment();

    QVERIFY(QFileInfo(root.filePath(QStringLiteral("app/output"))).isDir());
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("app/data"))).isDir());
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.3gp")));
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.dat")));

    QCOMPARE(SendWithCli(environment, QStringLiteral("b1")), 0);
    QCOMPARE(window.state(), QProcess::Running);

    Touch(working + QStringLiteral("/tmpfile.dat"));
    window.terminate();
    QVERIFY(window.waitForFinished(20000));
    QCOMPARE(window.exitStatus(), QProcess::CrashExit);  // ended by the signal, after cleaning up
    QVERIFY(!QFile::exists(working + QStringLiteral("/tmpfile.dat")));
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("app/setup.ini"))));

    // No window, no listener: the sender says so and fails.
    QCOMPARE(SendWithCli(environment, QStringLiteral("b2")), 1);
  }

  // "Open With" while the window runs: the second launch hands its file, named relative to its
  // own folder, to the first window and leaves; one Convert takes the files of both launches.
  void aSecondLaunchJoinsTheRunningWindow() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("clips")) &&
            QDir(root.path()).mkpath(QStringLiteral("app/data")));
    const QStringList clips{root.filePath(QStringLiteral("clips/one.avi")),
                            root.filePath(QStringLiteral("clips/zwei \u00fc.avi"))};
    const std::string cached = vintrel::testing_support::Clip(
        "launch.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=15:duration=1", "-c:v", "mpeg4"});
    for (const QString& clip : clips) QVERIFY(QFile::copy(QString::fromStdString(cached), clip));
    QVERIFY(QFile::copy(QStringLiteral(VINTREL_ENCODER_PATH),
                        root.filePath(QStringLiteral("app/data/conv.exe"))));
    QProcess window;
    QVERIFY(StartWindow(root, window, {clips[0]}));
    const int windows = VintrelWindowsOnX();
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("xcb")) QVERIFY(windows >= 1);

    QProcess second;
    second.setProcessEnvironment(window.processEnvironment());
    second.setWorkingDirectory(root.filePath(QStringLiteral("clips")));
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(root.filePath(QStringLiteral("app/vintrel")), {QFileInfo(clips[1]).fileName()});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(VintrelWindowsOnX(), windows);

    QCOMPARE(SendWithCli(window.processEnvironment(), QStringLiteral("b2")), 0);
    const QStringList outputs{root.filePath(QStringLiteral("app/output/one.3gp")),
                              root.filePath(QStringLiteral("app/output/zwei \u00fc.3gp"))};
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(outputs[0]) && QFileInfo::exists(outputs[1]); },
                            60000));
    // A cleaner of the temporary folder removes the socket: the window makes it again. Without
    // files a launch then only brings the window to the front.
    const QString socket = root.filePath(QStringLiteral("tmp/vintrel-%1/launch").arg(getuid()));
    QVERIFY(QFile::remove(socket));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 5000));
    second.setWorkingDirectory(root.path());
    second.start(root.filePath(QStringLiteral("app/vintrel")), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(VintrelWindowsOnX(), windows);
    QCOMPARE(window.state(), QProcess::Running);
    window.kill();
    window.waitForFinished(20000);

    // The window is gone: a launch that cannot reach it is the window itself again.
    QProcess third;
    QVERIFY(StartWindow(root, third, {clips[0]}));
    third.kill();
    third.waitForFinished(20000);
  }

  // A launch either hands its files over or says it did not. An empty argument is left out and
  // the launch still becomes the window; a stopped window that wakes after a launch gave up drops
  // its message; a window at its limit of launches at once answers that it is busy.
  void aLaunchHandsItsFilesOverOrSaysItDidNot() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("clips")) &&
            QDir(root.path()).mkpath(QStringLiteral("app/data")));
    const std::string cached = vintrel::testing_support::Clip(
        "launch.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=15:duration=1", "-c:v", "mpeg4"});
    const QString early = root.filePath(QStringLiteral("clips/early.avi"));
    const QString late = root.filePath(QStringLiteral("clips/late.avi"));
    for (const QString& clip : {early, late}) QVERIFY(QFile::copy(QString::fromStdString(cached), clip));
    QVERIFY(QFile::copy(QStringLiteral(VINTREL_ENCODER_PATH),
                        root.filePath(QStringLiteral("app/data/conv.exe"))));
    QProcess window;
    QVERIFY(StartWindow(root, window, {QString(), early}, QProcess::SeparateChannels));
    QVERIFY(window.readAllStandardError().contains("an empty argument names no file"));

    const auto launch = [&](const QString& file) {
      QProcess second;
      second.setProcessEnvironment(window.processEnvironment());
      second.start(root.filePath(QStringLiteral("app/vintrel")), {file});
      second.waitForFinished(vintrel::kLaunchTimeoutMs + vintrel::kLaunchAnswerGraceMs + 20000);
      return std::pair(second.exitCode(), QString::fromUtf8(second.readAllStandardError()));
    };
    const auto pid = static_cast<pid_t>(window.processId());
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    const auto [stoppedStatus, stoppedSays] = launch(late);
    QCOMPARE(::kill(pid, SIGCONT), 0);
    QCOMPARE(stoppedStatus, 1);
    QVERIFY2(stoppedSays.contains(QStringLiteral("does not answer")), qPrintable(stoppedSays));
    QTest::qWait(1000);  // the woken window reads the old message now, if it is going to

    std::vector<std::unique_ptr<QLocalSocket>> idle;
    const QString socket = root.filePath(QStringLiteral("tmp/vintrel-%1/launch").arg(getuid()));
    for (int i = 0; i < vintrel::kLaunchConnections; ++i) {
      idle.push_back(std::make_unique<QLocalSocket>());
      idle.back()->connectToServer(socket);
      QVERIFY(idle.back()->waitForConnected(5000));
    }
    const auto [busyStatus, busySays] = launch(late);
    QCOMPARE(busyStatus, 1);
    QVERIFY2(busySays.contains(QStringLiteral("the Vintrel window is busy")), qPrintable(busySays));
    idle.clear();

    QCOMPARE(SendWithCli(window.processEnvironment(), QStringLiteral("b2")), 0);
    const QString earlyOut = root.filePath(QStringLiteral("app/output/early.3gp"));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(earlyOut); }, 60000));
    QVERIFY(!QTest::qWaitFor(
        [&] { return QFileInfo::exists(root.filePath(QStringLiteral("app/output/late.3gp"))); }, 5000));
    window.kill();
    window.waitForFinished(20000);
  }

  // Floods and idle senders, with the window's descriptors nearly used up: the window lives, and
  // the box takes a command again within seconds.
  void floodsAndIdleClientsLeaveTheBoxWorking() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QProcess window;
    QVERIFY(StartWindow(root, window));
    const QString socket = root.filePath(QStringLiteral("tmp/vintrel-%1/command-box").arg(getuid()));
    const auto pid = static_cast<pid_t>(window.processId());
    const rlimit tight{static_cast<rlim_t>(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).count() + 2), 4096};
    QVERIFY(prlimit(pid, RLIMIT_NOFILE, &tight, nullptr) == 0);

    // Every tenth sender floods, the others only hold their connection.
    QByteArray burst;
    for (int i = 0; i < 20000; ++i) burst += i % 2 ? "b2\n" : "a2\n";
    std::vector<std::unique_ptr<QLocalSocket>> senders(300);
    int linesSent = 0, tries = 0;
    QElapsedTimer clock;
    clock.start();
    for (std::size_t i = 0; i < senders.size(); ++i) {
      senders[i] = std::make_unique<QLocalSocket>();
      senders[i]->connectToServer(socket);
      if (i % 10 == 0 && senders[i]->state() == QLocalSocket::ConnectedState && senders[i]->write(burst) > 0)
        linesSent += 20000;
      senders[i]->flush();
    }
    while (++tries,
           SendWithCli(window.processEnvironment(), QStringLiteral("x")) != 0 && clock.elapsed() < 30000)
      QTest::qWait(200);
    const qint64 recovered = clock.elapsed();
    qInfo("%d lines, %zu connections, %llu descriptors: a command got through after %lld ms (%d tries)",
          linesSent, senders.size(), static_cast<unsigned long long>(tight.rlim_cur), recovered, tries);
    QVERIFY(recovered < 30000);
    QCOMPARE(window.state(), QProcess::Running);
    window.kill();
    window.waitForFinished(20000);
  }
};

QTEST_GUILESS_MAIN(AppProcessTest)
#include "app_process_test.moc"
