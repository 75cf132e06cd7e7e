// The application in the window: start-up, Add, drops, Convert with the real encoder, the command
// box set by another process, unload and exit. Dialogs, message boxes, the file browser, the
// sound and the end of the process go through the shell's seams, so the test sees them.
#include "app_shell.h"

#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "app/wave_file.h"
#include "frm_main.h"
#include "media.h"
#include "qt_pump.h"
#include "skin_image.h"
#include "sound_player.h"
#include "vintrel_version.h"

namespace {

struct Message {
  QString title;
  QString text;
  vintrel::MessageIcon icon;
};

// A clip of the shared cache under the name the test needs: outputs are named after it.
bool MakeClip(const QString& file, const std::vector<std::string>& codecs) {
  std::vector<std::string> args{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=15:duration=1",
                                "-f", "lavfi", "-i", "sine=frequency=440:duration=1"};
  args.insert(args.end(), codecs.begin(), codecs.end());
  const QString cached =
      QString::fromStdString(vintrel::testing_support::Clip(QFileInfo(file).fileName().toStdString(), args));
  return QFile::copy(cached, file);
}

QSize VideoSize(const QString& file) {
  QProcess probe;
  probe.start(QStringLiteral(VINTREL_FFPROBE), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                "stream=width,height", "-of", "csv=p=0:s=x", file});
  probe.waitForFinished();
  const QStringList parts =
      QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(QLatin1Char('x'));
  return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

// A drag that enters `target` and, when the target takes it, drops there. True when dropped.
bool Drop(QWidget* target, const QStringList& paths, const QString& text = {}) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  if (!urls.isEmpty()) data.setUrls(urls);
  if (!text.isEmpty()) data.setText(text);
  QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(3, 3), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

class EventCounter : public QObject {
 public:
  EventCounter(QEvent::Type type, int& count) : type_(type), count_(count) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++count_;
    return false;
  }

 private:
  QEvent::Type type_;
  int& count_;
};

// What LV shows of the queue.
QStringList Queued(frmMain& frm) {
  QStringList paths;
  const QAbstractItemModel* rows = frm.LV()->model();
  for (int row = 0; row < rows->rowCount(); ++row) paths << rows->index(row, 0).data().toString();
  return paths;
}

}  // namespace

class AppShellTest : public QObject {
  Q_OBJECT

 private:
  QString tempBase_;
  QTemporaryDir clips_;
  std::unique_ptr<QTemporaryDir> root_;
  std::unique_ptr<AppShell> shell_;
  QStringList answers_;
  QList<OpenFilesRequest> requests_;
  QList<Message> messages_;
  QStringList opened_, sounds_;
  QList<int> ended_;
  std::function<void()> onSound_;

  QString Clip(const QString& name) const { return clips_.filePath(name); }
  QString App(const QString& child = {}) const {
    const QString app = root_->filePath(QStringLiteral("app"));
    return child.isEmpty() ? app : app + QLatin1Char('/') + child;
  }
  frmMain& Frm() { return shell_->Window(); }

  // A shell on a fresh application folder (with `ini` as its setup.ini), loaded and shown.
  bool Start(const QByteArray& ini = {}, const std::function<void()>& beforeLoad = {}) {
    shell_.reset();
    answers_.clear();
    requests_.clear();
    messages_.clear();
    opened_.clear();
    sounds_.clear();
    ended_.clear();
    onSound_ = nullptr;
    root_ = std::make_unique<QTemporaryDir>(tempBase_ + QStringLiteral("/vintrel-app-XXXXXX"));
    QDir(root_->path()).mkpath(QStringLiteral("app/data"));
    QDir(root_->path()).mkpath(QStringLiteral("tmp"));
    if (!QFile::link(QStringLiteral(VINTREL_ENCODER_PATH), App(QStringLiteral("data/conv.exe"))))
      return false;
    if (!ini.isNull()) {
      QFile file(App(QStringLiteral("setup.ini")));
      if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size()) return false;
    }
    // The working folder, and with it the command box's socket, is this test's own.
    qputenv("TMPDIR", root_->filePath(QStringLiteral("tmp")).toUtf8());
    qunsetenv("XDG_RUNTIME_DIR");
    if (beforeLoad) beforeLoad();

    ShellSeams seams;
    seams.openFiles = [this](QWidget*, const OpenFilesRequest& request) {
      requests_ << request;
      return answers_.isEmpty() ? QString() : answers_.takeFirst();
    };
    seams.message = [this](QWidget*, const QString& title, const QString& text, vintrel::MessageIcon icon) {
      messages_ << Message{title, text, icon};
    };
    seams.openFolder = [this](const QString& folder) { opened_ << folder; };
    seams.playSound = [this](const QString& file) {
      sounds_ << file;
      if (onSound_) onSound_();
    };
    seams.endProcess = [this](int status) { ended_ << status; };
    shell_ = std::make_unique<AppShell>(vintrel::ResolveAppPaths(App().toStdString()), seams);
    shell_->Load();
    Frm().show();
    return QTest::qWaitForWindowExposed(&Frm());
  }

  bool ActionsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(Frm().imgButton(0)), static_cast<QWidget*>(Frm().imgButton(1)),
                       static_cast<QWidget*>(Frm().imgButton(2)), static_cast<QWidget*>(Frm().LV()),
                       static_cast<QWidget*>(Frm().imgBrowse())}) {
      if (w->isEnabled() != enabled) return false;
    }
    return true;
  }

  // Another process hands the command box a text; true when it says the window took it. The
  // window answers the sender, so its events run while the sender waits.
  static bool Taken(const QString& text) {
    QProcess sender;
    sender.start(QStringLiteral(VINTREL_CLI_PATH), {"--command-box", text});
    return QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, 60000) &&
           sender.exitStatus() == QProcess::NormalExit && sender.exitCode() == 0;
  }

  // True once the window has also applied the text.
  bool Send(const QString& text) {
    QSignalSpy applied(shell_.get(), &AppShell::commandBoxTextApplied);
    if (!Taken(text)) return false;
    return QTest::qWaitFor([&] { return applied.count() > 0 && applied.last().at(0).toString() == text; },
                           60000);
  }

  void ClickStart() { QTest::mouseClick(Frm().imgButton(2), Qt::LeftButton, {}, QPoint(5, 5)); }

 private slots:
  void initTestCase() {
    tempBase_ = QDir::tempPath();
    QVERIFY(clips_.isValid());
    QVERIFY(MakeClip(Clip("a.avi"), {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}));
    QVERIFY(MakeClip(Clip("b.mp4"), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
    QVERIFY(MakeClip(Clip("c.mov"), {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}));
    QFile bad(Clip("bad.avi"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("this is not a video\n");
  }

  void cleanup() {
    shell_.reset();
    root_.reset();
  }

  void cleanupTestCase() { qputenv("TMPDIR", tempBase_.toUtf8()); }

  // The runner's pause ends when the child's pipe is ready, and is woken by it only once, even
  // while a handler inside the pause runs a loop of its own (a menu, a dialog).
  void runnerPauseEndsOnceThePipeIsReady() {
    int fds[2];
    QVERIFY(pipe(fds) == 0);
    QVERIFY(write(fds[1], "x", 1) == 1);
    int activations = 0;
    EventCounter counter(QEvent::SockAct, activations);
    qApp->installEventFilter(&counter);
    QTimer::singleShot(0, [] {
      QEventLoop nested;
      QTimer::singleShot(200, &nested, &QEventLoop::quit);
      nested.exec();
    });
    QElapsedTimer clock;
    clock.start();
    const vintrel::WakeHandle wake[] = {fds[0]};
    QtEventPump().WaitDispatchingOrWake(60000, wake);
    qApp->removeEventFilter(&counter);
    close(fds[0]);
    close(fds[1]);
    QVERIFY(clock.elapsed() < 60000);  // woken, not timed out
    QCOMPARE(activations, 1);
  }

  void startupOnAFreshApplicationFolder() {
    QVERIFY(Start());
    QCOMPARE(Frm().cmbVBR()->currentText(), QStringLiteral("120"));
    QCOMPARE(Frm().cmbSize()->currentText(), QStringLiteral("176x144"));
    QCOMPARE(Frm().cmbFPS()->currentText(), QStringLiteral("14.985"));
    QCOMPARE(Frm().cmbAB()->currentText(), QStringLiteral("5.15k"));
    QCOMPARE(Frm().txtPath()->text(), App(QStringLiteral("output")));
    QVERIFY(QFileInfo(App(QStringLiteral("output"))).isDir());
    QVERIFY(QFileInfo(App(QStringLiteral("data"))).isDir());
    QCOMPARE(Frm().lblVersion()->text(), QStringLiteral("Ver ") + QLatin1String(vintrel::kVersionText));
    QCOMPARE(Frm().lblVersion()->palette().color(QPalette::WindowText), QColor(44, 103, 155));
    QCOMPARE(Frm().ProgressBarTwips(), 0.0);
    QVERIFY(!Frm().fromCommandBox());
    QCOMPARE(Frm().menuMsg()->text(), QStringLiteral("b0"));
    QVERIFY(shell_->Startup().workingFolderUsable);
    QVERIFY(Frm().picDragText()->isVisible());
  }

  void addAsksTheOpenFilesDialog() {
    QVERIFY(Start());
    answers_ << Clip("a.avi");
    QTest::mouseClick(Frm().imgButton(0), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(requests_.size(), 1);
    const OpenFilesRequest& request = requests_.first();
    QCOMPARE(request.title, QStringLiteral("Open Files"));
    QCOMPARE(request.startFolder, App());
    QCOMPARE(request.filters.size(), 9);
    // GTK and portal dialogs match case: both cases are offered, under the same names.
    QCOMPARE(request.filters.first(), QStringLiteral("AVI Format(*.AVI) (*.avi *.AVI)"));
    QCOMPARE(request.filters.at(4), QStringLiteral("DAT Format(*.dat) (*.dat *.DAT)"));
    QCOMPARE(request.filters.last(), QStringLiteral("All(*.*) (*.*)"));
    QCOMPARE(request.selectedFilter, request.filters.first());
    QCOMPARE(Queued(Frm()), QStringList{Clip("a.avi")});
    QCOMPARE(Frm().LV()->model()->index(0, 1).data().toString(), QString("AVI"));
    QCOMPARE(Frm().LV()->model()->rowCount(), 1);
    QVERIFY(!Frm().picDragText()->isVisible());

    QTest::mouseClick(Frm().imgButton(0), Qt::LeftButton, {}, QPoint(5, 5));  // cancelled
    QCOMPARE(requests_.size(), 2);
    QCOMPARE(Queued(Frm()), QStringList{Clip("a.avi")});
  }

  void dropsAndCommandLineFilesQueue() {
    QVERIFY(Start());
    QVERIFY(!Drop(Frm().Label1(), {}, QStringLiteral("just text")));
    QVERIFY(Drop(Frm().Label1(), {Clip("b.mp4"), clips_.path()}));
    QCOMPARE(Queued(Frm()), (QStringList{Clip("b.mp4"), clips_.path()}));
    QCOMPARE(Frm().LV()->model()->rowCount(), 2);
    QVERIFY(!Frm().picDragText()->isVisible());
  }

  void convertThreeFilesWhileTheWindowStaysLive() {
    QVERIFY(Start());
    QVERIFY(Drop(Frm().LV()->viewport(), {Clip("a.avi"), Clip("b.mp4"), Clip("c.mov")}));

    // The window keeps running its events: a timer ticks, and a picker changed after the first
    // file applies to the files after it.
    int ticks = 0, ticksAtFirst = 0, ticksAtLast = 0, removals = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, &ticker, [&] { ++ticks; });
    QObject context;
    connect(Frm().LV()->model(), &QAbstractItemModel::rowsRemoved, &context, [&] {
      if (++removals == 1) {
        ticksAtFirst = ticks;
        Frm().cmbSize()->setCurrentIndex(0);
        // The hint is hidden and the list disabled; even a drop that got through changes nothing.
        Drop(Frm().Label1(), {Clip("a.avi")});
      }
      ticksAtLast = ticks;
    });
    QString labelAtSound;
    bool disabledAtSound = false;
    onSound_ = [&] {
      labelAtSound = Frm().lblPB()->text();
      disabledAtSound = ActionsEnabled(false);
    };
    ticker.start();
    ClickStart();
    ticker.stop();

    QCOMPARE(removals, 3);
    QVERIFY(ticksAtLast > ticksAtFirst);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.value(0).text));
    QCOMPARE(Frm().lblPB()->text(), QStringLiteral("Done."));
    QCOMPARE(Frm().ProgressBarTwips(), 3960.0);
    QVERIFY(ActionsEnabled(true));
    QVERIFY(Frm().picDragText()->isVisible());
    QVERIFY(Queued(Frm()).isEmpty());
    QCOMPARE(Frm().LV()->model()->rowCount(), 0);
    QCOMPARE(opened_, QStringList{App(QStringLiteral("output"))});
    QCOMPARE(sounds_, QStringList{App(QStringLiteral("sound.wav"))});
    QCOMPARE(labelAtSound, QStringLiteral("100%"));
    QVERIFY(disabledAtSound);
    QCOMPARE(VideoSize(App(QStringLiteral("output/a.3gp"))), QSize(176, 144));
    QCOMPARE(VideoSize(App(QStringLiteral("output/b.3gp"))), QSize(128, 96));
    QCOMPARE(VideoSize(App(QStringLiteral("output/c.3gp"))), QSize(128, 96));
  }

  void aFailedFileIsReportedAndTheBatchGoesOn() {
    QVERIFY(Start());
    QVERIFY(Drop(Frm().LV()->viewport(), {Clip("bad.avi"), Clip("a.avi")}));
    ClickStart();
    QCOMPARE(Frm().lblPB()->text(), QStringLiteral("Done, 1 failed."));
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_.first().title, QStringLiteral("Convert"));
    QVERIFY(messages_.first().text.contains(Clip("bad.avi")));
    QVERIFY(QFileInfo(App(QStringLiteral("output/a.3gp"))).size() > 0);
    QVERIFY(!QFile::exists(App(QStringLiteral("output/bad.3gp"))));
    QVERIFY(Queued(Frm()).isEmpty());
    QVERIFY(ActionsEnabled(true));
  }

  void aMissingEncoderIsSaidOnceAndTheWindowComesBack() {
    QVERIFY(Start());
    QVERIFY(QFile::remove(App(QStringLiteral("data/conv.exe"))));
    QVERIFY(Drop(Frm().LV()->viewport(), {Clip("a.avi")}));
    ClickStart();
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_.first().title, QStringLiteral("Vintrel"));
    QCOMPARE(messages_.first().text, QStringLiteral("File or command not found"));
    QCOMPARE(messages_.first().icon, vintrel::MessageIcon::Critical);
    QCOMPARE(Queued(Frm()), QStringList{Clip("a.avi")});
    QVERIFY(ActionsEnabled(true));
  }

  void commandBoxFromAnotherProcess() {
    QVERIFY(Start());
    QVERIFY(shell_->OpenCommandBox());

    QVERIFY(Send(QStringLiteral("b7")));  // no such button
    QCOMPARE(Frm().menuMsg()->text(), QStringLiteral("b7"));
    // A cleaner of the temporary folder removes the socket: the window makes it again.
    const QString socket = root_->filePath(QStringLiteral("tmp/vintrel-%1/command-box").arg(getuid()));
    QVERIFY(QFile::remove(socket));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 5000));
    QVERIFY(Send(QStringLiteral("c7")));
    // However the bytes arrive, a line past the limit is no command: each of these, written
    // whole, gets no answer and changes nothing.
    for (const qsizetype length : {4098, 100002, 180002}) {
      QLocalSocket sender;
      sender.connectToServer(socket);
      QVERIFY(sender.waitForConnected(5000));
      QByteArray line(length - 3, ' ');
      sender.write(line + "b1\n");
      (void)QTest::qWaitFor([&] { return sender.state() != QLocalSocket::ConnectedState; }, 5000);
      QTest::qWait(100);
      QVERIFY2(!sender.readAll().contains("ok"), qPrintable(QString::number(length)));
      QCOMPARE(Frm().menuMsg()->text(), QStringLiteral("c7"));
    }
    QVERIFY(requests_.isEmpty());
    QVERIFY(messages_.isEmpty());

    answers_ << Clip("b.mp4") << Clip("a.avi");
    QVERIFY(Send(QStringLiteral("a0")));
    QCOMPARE(requests_.size(), 1);
    Frm().LV()->setCurrentIndex(Frm().LV()->model()->index(0, 0));
    QVERIFY(Send(QStringLiteral("b1")));  // removes the selected row, as the button does
    QVERIFY(Queued(Frm()).isEmpty());
    QVERIFY(Frm().picDragText()->isVisible());
    QVERIFY(Send(QStringLiteral("a0")));
    QCOMPARE(Queued(Frm()), QStringList{Clip("a.avi")});

    QVERIFY(Send(QStringLiteral("b2")));
    QCOMPARE(Frm().lblPB()->text(), QStringLiteral("Done."));
    QVERIFY(QFileInfo(App(QStringLiteral("output/a.3gp"))).size() > 0);
    QVERIFY(Queued(Frm()).isEmpty());
  }

  void aWorkingFolderOthersMayWriteToIsToldAndTheBoxStaysOff() {
    QVERIFY(Start({}, [this] {
      const QString working = root_->filePath(QStringLiteral("tmp/vintrel-%1").arg(getuid()));
      QDir().mkpath(working);
      QFile::setPermissions(working, QFileDevice::Permissions(0x7777));
    }));
    QVERIFY(!shell_->OpenCommandBox());
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_.first().text.startsWith(
                 QStringLiteral("The command box for other programs is off: others may write to ")),
             qPrintable(messages_.first().text));
  }

  // Closing the window, whatever closes it, unloads without saving; exit saves first.
  void closeUnloadsAndExitSaves() {
    QVERIFY(Start());
    Frm().cmbVBR()->setCurrentIndex(4);
    Frm().close();
    QCOMPARE(ended_, QList<int>{0});
    QVERIFY(!QFile::exists(App(QStringLiteral("setup.ini"))));
    QVERIFY(Start());
    Frm().txtPath()->setText(QStringLiteral("/srv/out, new"));
    QTest::mouseClick(Frm().imgExit(), Qt::LeftButton);
    QCOMPARE(ended_, QList<int>{0});
    QFile ini(App(QStringLiteral("setup.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().endsWith("\"/srv/out, new\"\r\n"));
  }

  void theShippedChimeIsAShortSoundThatPlaysToItsEnd() {
    const auto length = vintrel::WaveDurationMs(VINTREL_SOUND_PATH);
    QVERIFY(length.has_value());
    QVERIFY(*length >= 300 && *length <= 3000);
    // With or without an audio device, and without the file, playing returns (a hang fails the run).
    PlaySoundToEnd(QStringLiteral(VINTREL_SOUND_PATH));
    PlaySoundToEnd(clips_.filePath(QStringLiteral("missing.wav")));
  }
};

QTEST_MAIN(AppShellTest)
#include "app_shell_test.moc"
