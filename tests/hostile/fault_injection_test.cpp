// Faults from outside while files convert: the encoder killed, an output folder that cannot be
// written, a full disk, the window leaving mid-file. Each must end with every failure named,
// earlier results intact and no partial file anywhere.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/settings.h"
#include "engine/batch_step.h"
#include "hostile_support.h"
#include "text_checks.h"

namespace vintrel::hostile {
namespace {

using namespace std::chrono_literals;

std::vector<std::string>& gFigures = ReportedFigures("fault-report.txt");

std::string FailureOf(const RunResult& cli, const std::string& source) {
  const std::string entry = "\n  " + source + ": ";
  const auto list = cli.out.find("\nFailed:\n");
  const auto at = list == std::string::npos ? list : cli.out.find(entry, list);
  if (at == std::string::npos) return {};
  const auto from = at + entry.size();
  return cli.out.substr(from, cli.out.find('\n', from) - from);
}

class FaultInjection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    permissionsBind_ = MakePermissionsBind();
    mounts_ = EnterPrivateMounts();
    clips_ = fs::temp_directory_path() / ("vintrel-fault-clips-" + std::to_string(getpid()));
    fs::create_directories(clips_);
    // The long clip keeps even a fast build busy for a second or more.
    for (auto [name, size, seconds] :
         {std::tuple{"long.avi", "640x480", 10}, std::tuple{"a.avi", "320x240", 1},
          std::tuple{"b.avi", "320x240", 1}}) {
      ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", std::string("testsrc2=size=") + size + ":rate=30", "-f",
                          "lavfi", "-i", "sine=frequency=440", "-t", std::to_string(seconds), "-c:v", "mpeg4",
                          "-c:a", "libmp3lame", (clips_ / name).string()}));
    }
  }
  static void TearDownTestSuite() { fs::remove_all(clips_); }

  void SetUp() override { box_ = std::make_unique<Sandbox>("fault"); }
  void TearDown() override { box_.reset(); }

  static std::string Clip(const std::string& name) { return (clips_ / name).string(); }
  RunResult Cli(const fs::path& out, const std::vector<std::string>& files) const {
    std::vector<std::string> argv{box_->Cli().string(), "--output", out.string(), "--"};
    argv.insert(argv.end(), files.begin(), files.end());
    return RunProgram(argv, Within(600));
  }

  static inline bool permissionsBind_ = false;
  static inline bool mounts_ = false;
  static inline fs::path clips_;
  std::unique_ptr<Sandbox> box_;
};

// An encoder that prints a megabyte without a line feed, then fails, for 100 files: each reason is
// the start of that "line" cut between characters, the CLI prints far less than a megabyte and
// stays near the memory it needs for short failures.
TEST_F(FaultInjection, AFloodWithoutLineFeedsGivesShortReasonsAndLittleOutput) {
  const auto runWith = [&](const std::string& words) {
    WriteFile(box_->Encoder(), "#!/bin/sh\n" + words + "\nexit 1\n");
    fs::permissions(box_->Encoder(), fs::perms::owner_all);
    return Cli(box_->Make("out"), std::vector<std::string>(100, Clip("a.avi")));
  };
  const RunResult terse = runWith("echo 'Error: it failed'");
  const RunResult flood = runWith("yes '\xC3\xA9' | tr -d '\\n' | head -c 1000000");
  ASSERT_EQ(FailureOf(terse, Clip("a.avi")), "Error: it failed");
  EXPECT_EQ(flood.exitCode, 1);
  EXPECT_LT(flood.out.size() + flood.err.size(), 1000000u);
  std::size_t reasons = 0;
  for (std::size_t at = flood.out.find("FAILED: "); at != std::string::npos;
       at = flood.out.find("FAILED: ", at + 1)) {
    const std::size_t from = at + 8;
    const std::string reason = flood.out.substr(from, flood.out.find('\n', from) - from);
    EXPECT_EQ(testing_support::Utf8Characters(reason), kReasonMaxCharacters + 1);
    EXPECT_TRUE(reason.ends_with(kReasonCutMark));
    ++reasons;
  }
  EXPECT_EQ(reasons, 100u);
  EXPECT_TRUE(FailureOf(flood, Clip("a.avi")).ends_with(kReasonCutMark));
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer keeps freed memory in quarantine
  EXPECT_LT(flood.peakRssKb, terse.peakRssKb + 16 * 1024);
#endif
  gFigures.push_back(
      "100 files whose encoder prints 1 MB without a line feed: " + std::to_string(flood.out.size()) +
      " bytes printed, peak RSS " + std::to_string(flood.peakRssKb) + " kB (" +
      std::to_string(terse.peakRssKb) + " kB with one-line failures)");
}

class EncoderKilled : public FaultInjection, public ::testing::WithParamInterface<int> {};

TEST_P(EncoderKilled, FileFailsWithoutTraceAndTheBatchGoesOn) {
  const fs::path out = box_->Make("out");
  std::vector<std::string> argv{box_->Cli().string(), "--output",    out.string(), "--",
                                Clip("long.avi"),     Clip("a.avi"), Clip("b.avi")};
  Started cli = StartProgram(argv, Within(600));
  // Caught with its output open and not yet complete, then held there until the signal lands.
  pid_t encoder = -1;
  for (auto deadline = std::chrono::steady_clock::now() + 60s;
       encoder < 0 && std::chrono::steady_clock::now() < deadline;) {
    for (pid_t pid : ChildrenNamed(cli.pid, "conv.exe")) {
      if (ReadFile("/proc/" + std::to_string(pid) + "/cmdline").find("long.avi") == std::string::npos)
        continue;
      if (HoldsFileIn(pid, out) && kill(pid, SIGSTOP) == 0) encoder = pid;
    }
  }
  ASSERT_GT(encoder, 0) << "the encoder of long.avi was never seen writing";
  ASSERT_EQ(kill(encoder, GetParam()), 0);
  kill(encoder, SIGCONT);
  const RunResult done = Finish(cli);

  EXPECT_EQ(done.exitCode, 1) << done.out << done.err;
  const std::string reason = FailureOf(done, Clip("long.avi"));
  EXPECT_FALSE(reason.empty()) << done.out;
  EXPECT_TRUE(FailureOf(done, Clip("a.avi")).empty() && FailureOf(done, Clip("b.avi")).empty()) << done.out;
  EXPECT_EQ(ListTree(out), (std::vector<std::string>{"a.3gp", "b.3gp"}));
  EXPECT_TRUE(ProbeClip(out / "a.3gp") && ProbeClip(out / "b.3gp"));
  std::string left;
  for (const std::string& name : ListTree(out)) left += " " + name;
  gFigures.push_back("encoder killed by signal " + std::to_string(GetParam()) + ": reported \"" + reason +
                     "\", output folder:" + left);
}

INSTANTIATE_TEST_SUITE_P(Signals, EncoderKilled, ::testing::Values(SIGKILL, SIGTERM));

TEST_F(FaultInjection, UnwritableOutputFolderFailsEveryFileWithTheReason) {
  struct Variant {
    std::string name;
    fs::path out;
    std::string because;
  };
  std::vector<Variant> variants;
  if (permissionsBind_) {
    const fs::path locked = box_->Make("locked");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    variants.push_back({"read-only folder", locked, "Permission denied"});
    variants.push_back({"folder under a read-only one", locked / "new", "Permission denied"});
  }
  if (mounts_) {
    const fs::path readOnly = box_->Make("ro");
    ASSERT_TRUE(MountTmpfs(readOnly, 1 << 20, true));
    variants.push_back({"read-only file system", readOnly, "Read-only file system"});
  }
  if (variants.empty()) GTEST_SKIP() << "permission bits do not bind and mounts are not allowed here";
  for (const Variant& v : variants) {
    const RunResult done = Cli(v.out, {Clip("a.avi"), Clip("b.avi")});
    EXPECT_EQ(done.exitCode, 1) << v.name;
    for (const char* clip : {"a.avi", "b.avi"}) {
      const std::string reason = FailureOf(done, Clip(clip));
      EXPECT_NE(reason.find(v.because), std::string::npos) << v.name << ": \"" << reason << "\"";
    }
    EXPECT_TRUE(!fs::exists(v.out) || ListTree(v.out).empty()) << v.name;
    gFigures.push_back(v.name + ": 2 of 2 failed, reason \"" + FailureOf(done, Clip("a.avi")) + "\"");
  }
  if (mounts_) umount2((box_->Root() / "ro").c_str(), MNT_DETACH);
}

// Fills the file system until at most `leave` bytes are free.
void FillUpTo(const fs::path& filler, std::size_t leave) {
  struct statvfs info {};
  ASSERT_EQ(statvfs(filler.parent_path().c_str(), &info), 0);
  const std::size_t free = info.f_bavail * info.f_frsize;
  const std::string block(free > leave ? free - leave : 0, 'f');
  std::FILE* file = std::fopen(filler.c_str(), "ab");
  ASSERT_NE(file, nullptr);
  std::fwrite(block.data(), 1, block.size(), file);
  std::fclose(file);
}

TEST_F(FaultInjection, FullDiskKeepsTheEarlierResultAndTheSettings) {
  if (!mounts_) GTEST_SKIP() << "mounting a small tmpfs is not allowed here (needs root)";
  const fs::path disk = box_->Make("disk");
  ASSERT_TRUE(MountTmpfs(disk, 512 << 10, false));
  const std::string earlier = "an earlier a.3gp that must survive\n";
  WriteFile(disk / "a.3gp", earlier);
  WriteFile(disk / "setup.ini", "\"1\"\r\n\"1\"\r\n\"1\"\r\n\"1\"\r\n\"/videos\"\r\n");
  const std::string settingsBefore = ReadFile(disk / "setup.ini");
  FillUpTo(disk / "filler", 16 << 10);

  const RunResult full = Cli(disk, {Clip("a.avi"), Clip("long.avi")});
  EXPECT_EQ(full.exitCode, 1);
  for (const char* clip : {"a.avi", "long.avi"}) {
    const std::string reason = FailureOf(full, Clip(clip));
    EXPECT_NE(reason.find("No space left on device"), std::string::npos) << clip << ": \"" << reason << "\"";
  }
  EXPECT_EQ(ReadFile(disk / "a.3gp"), earlier);
  EXPECT_EQ(ListTree(disk), (std::vector<std::string>{"a.3gp", "filler", "setup.ini"}));
  gFigures.push_back("disk full: 2 of 2 failed, reason \"" + FailureOf(full, Clip("a.avi")) +
                     "\", earlier a.3gp unchanged, no partial file");

  FillUpTo(disk / "filler", 0);
  StoredSettings changed;
  changed.outputFolder = "/elsewhere";
  EXPECT_FALSE(SaveSettings((disk / "setup.ini").string(), changed));
  EXPECT_EQ(ReadFile(disk / "setup.ini"), settingsBefore);
  EXPECT_EQ(ListTree(disk), (std::vector<std::string>{"a.3gp", "filler", "setup.ini"}));

  // Space again: the same batch converts and only now replaces the earlier result.
  fs::remove(disk / "filler");
  const RunResult freed = Cli(disk, {Clip("a.avi")});
  EXPECT_EQ(freed.exitCode, 0) << freed.out;
  EXPECT_TRUE(ProbeClip(disk / "a.3gp"));
  umount2(disk.c_str(), MNT_DETACH);
}

// Where the output's file system has no unnamed files (vfat and the like), the encoder writes a
// named temporary file; on the usual ones an unnamed one. Either way no failure leaves anything.
TEST_F(FaultInjection, NoFailureLeavesATemporaryFile) {
  const std::string cut = (box_->Root() / "cut.avi").string(), whole = ReadFile(Clip("a.avi"));
  WriteFile(cut, whole.substr(0, whole.size() / 2));
  struct Way {
    std::string name, source, because;  // `because` is in the last line
    int signal = 0;                     // sent once the output is open
    rlim_t fileSizeBytes = 0;
  };
  std::vector<Way> ways{{"source cut short", cut, "truncated"},
                        {"file size limit", Clip("long.avi"), "File too large", 0, 64 << 10},
                        {"no permission bits", Clip("a.avi"), "cannot set the file's permissions"}};
  for (int signal : {SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ})
    ways.push_back({"signal " + std::to_string(signal), Clip("long.avi"), "interrupted", signal});
  for (bool vfat : {false, true}) {
    for (const Way& way : ways) {
      RunOptions options = Within(120);
      options.vfatLike = vfat;
      options.noPermissions = way.name == "no permission bits";
      options.fileSizeBytes = way.fileSizeBytes;
      if (options.noPermissions && !vfat) continue;  // only vfat-like file systems lack them
      const std::string tag = (vfat ? "named, " : "unnamed, ") + way.name;
      const fs::path out = box_->Make(vfat ? "vfat" : "usual");
      Started run =
          StartProgram(EncoderArgs(box_->Encoder(), way.source, (out / "out.3gp").string()), options);
      bool named = false;
      if (way.signal != 0) {
        for (auto deadline = std::chrono::steady_clock::now() + 60s;
             !HoldsFileIn(run.pid, out) && std::chrono::steady_clock::now() < deadline;) {
          std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(kill(run.pid, SIGSTOP), 0) << tag;
        for (const std::string& entry : ListTree(out)) named = named || entry.starts_with("out.3gp.part-");
        ASSERT_EQ(kill(run.pid, way.signal), 0);
        kill(run.pid, SIGCONT);
      }
      const RunResult done = Finish(run);
      EXPECT_EQ(done.exitCode, way.signal ? 128 + way.signal : 1) << tag << ": " << done.err;
      EXPECT_NE(done.err.find(way.because), std::string::npos) << tag << ": " << done.err;
      EXPECT_EQ(ListTree(out), std::vector<std::string>{}) << tag;
      if (way.signal) {
        EXPECT_EQ(named, vfat) << tag << ": the temporary file " << (named ? "had" : "had no") << " name";
      }
      gFigures.push_back(tag + ": exit " + std::to_string(done.exitCode) + ", nothing left");
    }
  }
}

class WindowLeaves : public FaultInjection, public ::testing::WithParamInterface<const char*> {};

#ifdef VINTREL_WINDOW_LEAVES_PATH
constexpr const char* kWindowLeaves = VINTREL_WINDOW_LEAVES_PATH;
#else
constexpr const char* kWindowLeaves = "";
#endif

// The encoder left on its own finds nobody reading it: it stops within 2 s and leaves nothing.
TEST_P(WindowLeaves, MidFileLeavesNoCorruptOutput) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  const fs::path out = box_->Make("out");
  const std::string way = GetParam();
  std::vector<std::string> argv{VINTREL_ABANDON_PATH, way};
  RunOptions options = Within(300);
  if (way == "window") {
    argv = {kWindowLeaves};
    options.env = {"QT_QPA_PLATFORM=offscreen", "TMPDIR=" + box_->Root().string(), "XDG_RUNTIME_DIR="};
  }
  argv.insert(argv.end(), {box_->App().string(), out.string(), Clip("long.avi"), Clip("a.avi")});
  const RunResult window = RunProgram(argv, options);
  EXPECT_NE(window.exitCode, 3) << "the batch ended before the window could leave";
  EXPECT_TRUE(window.exitCode == 0 || window.signal == SIGKILL) << window.err;
  // The window's own exit saves the settings on its way out.
  if (way == "window") {
    EXPECT_TRUE(fs::exists(box_->App() / "setup.ini"));
  }

  // The orphaned encoder now belongs to this test: wait for it to end.
  bool encoderLeft = false;
  const auto leftAt = std::chrono::steady_clock::now();
  for (auto deadline = leftAt + 300s; std::chrono::steady_clock::now() < deadline;) {
    const bool running = !ChildrenNamed(getpid(), "conv.exe").empty();
    encoderLeft = encoderLeft || running;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!running) break;
    std::this_thread::sleep_for(20ms);
  }
  const auto endedAfter = std::chrono::steady_clock::now() - leftAt;
  EXPECT_TRUE(ChildrenNamed(getpid(), "conv.exe").empty()) << "the encoder never ended";
  EXPECT_LT(endedAfter, 2s) << "the encoder worked on for nobody";
  const std::vector<std::string> left = ListTree(out);
  EXPECT_EQ(left, std::vector<std::string>{});
  double seconds = 0;
  if (!left.empty()) {
    EXPECT_TRUE(ProbeClip(out / "long.3gp", &seconds));
  }
  const std::string how = way == "window" ? "window's exit clicked"
                          : way == "kill" ? "batch killed"
                                          : "batch left";
  gFigures.push_back(
      how + " mid-file: " + window.out.substr(0, window.out.find('\n')) + ", encoder " +
      (encoderLeft
           ? "outlived it by " +
                 std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(endedAfter).count()) +
                 " ms and "
           : "") +
      (left.empty() ? "left nothing" : "finished long.3gp (" + std::to_string(seconds) + " s)"));
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// "exit" and "kill": a batch run through the core, left the way the window leaves (at once) or
// killed; "window": the real window and its exit image.
#ifdef VINTREL_WINDOW_LEAVES_PATH
INSTANTIATE_TEST_SUITE_P(Ways, WindowLeaves, ::testing::Values("exit", "kill", "window"));
#else
INSTANTIATE_TEST_SUITE_P(Ways, WindowLeaves, ::testing::Values("exit", "kill"));
#endif

}  // namespace
}  // namespace vintrel::hostile
