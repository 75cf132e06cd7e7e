// setup.ini in any shape (garbage, lines missing, huge lines, not a file at all, read-only) and a
// queue of 10 000 files, through vintrel-cli: settings fall back field by field, nothing hangs,
// the stack stays flat and memory grows by little per file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <random>

#include "app/settings.h"
#include "hostile_support.h"

namespace vintrel::hostile {
namespace {

std::vector<std::string>& gFigures = ReportedFigures("queue-report.txt");

// The four settings as the encoder's command line shows them, and the output folder.
struct Shown {
  std::string line;
  bool Has(const std::string& piece) const { return line.find(piece) != std::string::npos; }
};

class SettingsAndQueue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    permissionsBind_ = MakePermissionsBind();
    box_ = new Sandbox("queue");
    clip_ = (box_->Make("clips") / "a.avi").string();
    ASSERT_TRUE(
        Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t", "1", "-c:v", "mpeg4", clip_}));
  }
  static void TearDownTestSuite() {
    delete box_;
    box_ = nullptr;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(Ini(), fs::perms::owner_read | fs::perms::owner_write, ignored);
    fs::remove_all(Ini(), ignored);
  }

  static fs::path Ini() { return box_->App() / "setup.ini"; }
  static RunResult Cli(std::vector<std::string> args, int seconds = 60) {
    args.insert(args.begin(), box_->Cli().string());
    return RunProgram(args, Within(seconds));
  }
  static Shown DryRun() {
    const RunResult run = Cli({"--dry-run", clip_}, 30);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(run.Crashed());
    return {run.out};
  }
  static bool ShowsDefaults(const Shown& shown) {
    return shown.Has(" -b 120k ") && shown.Has(" -r 14.985 ") && shown.Has(" -s 176x144 ") &&
           shown.Has(" -ab 5.15k ") && shown.Has("\"" + (box_->App() / "output" / "a.3gp").string() + "\"");
  }

  static inline bool permissionsBind_ = false;
  static inline Sandbox* box_ = nullptr;
  static inline std::string clip_;
};

TEST_F(SettingsAndQueue, EveryUnusableFieldFallsBackAndTheRestApplies) {
  std::mt19937 random(8);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random() % 255 + 1);
  noise.erase(
      std::remove_if(noise.begin(), noise.end(), [](char c) { return c == ',' || c == '\n' || c == '\r'; }),
      noise.end());
  WriteFile(Ini(), noise);
  const Shown garbage = DryRun();
  EXPECT_TRUE(garbage.Has(" -b 120k ") && garbage.Has(" -s 176x144 ") && garbage.Has(" -ab 5.15k "))
      << garbage.line;

  WriteFile(Ini(), "\"4\"\r\n\"3\"\r\n\"2\"\r\n");
  const Shown threeLines = DryRun();
  EXPECT_TRUE(threeLines.Has(" -b 512k ") && threeLines.Has(" -s 352x288 ") && threeLines.Has(" -r 25.0 ") &&
              threeLines.Has(" -ab 5.15k ") && threeLines.Has((box_->App() / "output").string()))
      << threeLines.line;

  // Only the first megabyte is read: a file that never ends is not held in memory whole.
  WriteFile(Ini(), std::string(3 << 20, '7') + "\r\n\"0\"\r\n\"0\"\r\n\"0\"\r\n\"/x\"\r\n");
  EXPECT_TRUE(ShowsDefaults(DryRun()));

  // A byte order mark, bare line feeds, a NUL inside a number, two fields on one line.
  static const char kMixed[] =
      "\xEF\xBB\xBF"
      "1\n\"1\0\"\n 3 , 7\n\"/tmp/a, b\"\n";
  WriteFile(Ini(), std::string(kMixed, sizeof kMixed - 1));
  const Shown mixed = DryRun();
  EXPECT_TRUE(mixed.Has(" -b 80k ") && mixed.Has(" -s 176x144 ") && mixed.Has(" -r 29.97 ") &&
              mixed.Has(" -ab 12.2k ") && mixed.Has("\"/tmp/a, b/a.3gp\""))
      << mixed.line;
}

TEST_F(SettingsAndQueue, ASetupIniThatIsNoFileIsNoFile) {
  fs::create_directory(Ini());
  EXPECT_TRUE(ShowsDefaults(DryRun()));
  fs::remove(Ini());
  ASSERT_EQ(mkfifo(Ini().c_str(), 0600), 0);  // would block a reader forever
  EXPECT_TRUE(ShowsDefaults(DryRun()));
  fs::remove(Ini());
  fs::create_symlink("/dev/zero", Ini());  // would never end
  EXPECT_TRUE(ShowsDefaults(DryRun()));
  fs::remove(Ini());
  if (permissionsBind_) {
    WriteFile(Ini(), "\"0\"\r\n\"0\"\r\n\"0\"\r\n\"0\"\r\n\"/x\"\r\n");
    fs::permissions(Ini(), fs::perms::none);
    EXPECT_TRUE(ShowsDefaults(DryRun()));
  }
}

TEST_F(SettingsAndQueue, ReadOnlySettingsAreReadAndNeverReplaced) {
  const std::string saved = "\"0\"\r\n\"0\"\r\n\"3\"\r\n\"7\"\r\n\"/srv/videos\"\r\n";
  WriteFile(Ini(), saved);
  fs::permissions(Ini(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const Shown shown = DryRun();
  EXPECT_TRUE(shown.Has(" -b 40k ") && shown.Has(" -s 128x96 ") && shown.Has(" -r 29.97 ") &&
              shown.Has(" -ab 12.2k ") && shown.Has("\"/srv/videos/a.3gp\""))
      << shown.line;
  StoredSettings changed;
  changed.outputFolder = "/elsewhere";
  EXPECT_FALSE(SaveSettings(Ini().string(), changed));
  EXPECT_EQ(ReadFile(Ini()), saved);
  EXPECT_EQ(ListTree(box_->App()),
            (std::vector<std::string>{"data", "data/conv.exe", "setup.ini", "vintrel-cli"}));
}

TEST_F(SettingsAndQueue, AnOutputFolderTooLongForACommandLineFailsEachFileWithTheReason) {
  const std::string folder = (box_->Root() / std::string(200, 'f')).string() + "/" + std::string(300000, 'x');
  WriteFile(Ini(), "\"2\"\r\n\"2\"\r\n\"0\"\r\n\"1\"\r\n\"" + folder + "\"\r\n");
  const RunResult run = Cli({clip_, clip_});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.find("File or command not found"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("Converted 0 of 2 files"), std::string::npos)
      << run.out.substr(run.out.size() - 300);
  EXPECT_NE(run.out.find(": The paths are too long"), std::string::npos);
  gFigures.push_back(
      "setup.ini with a 300 000-byte output folder: each file failed, \"The paths are too long ...\"");
}

// Names with a double quote are refused without running anything, so the whole queue passes
// through the controller, the view and the summary in moments. They are short: the arguments
// of a program may take a quarter of its stack limit.
std::vector<std::string> Queue(int size, const std::vector<std::pair<int, std::string>>& real) {
  std::vector<std::string> files;
  for (int i = 0; i < size; ++i) files.push_back("\"" + std::to_string(i) + "\"");
  for (const auto& [at, file] : real) files[static_cast<std::size_t>(at)] = file;
  return files;
}

TEST_F(SettingsAndQueue, TenThousandFilesRunOnASmallStackInBoundedMemory) {
  const fs::path out = box_->Make("out");
  auto run = [&](const std::vector<std::string>& files, rlim_t stack) {
    std::vector<std::string> argv{box_->Cli().string(), "--output", out.string(), "--"};
    argv.insert(argv.end(), files.begin(), files.end());
    RunOptions options = Within(600);
    options.stackBytes = stack;
    return RunProgram(argv, options);
  };
  // Three real files among them, at the start, the middle and the end.
  const fs::path b = box_->Root() / "clips" / "b.avi", c = box_->Root() / "clips" / "c.avi";
  fs::copy_file(clip_, b);
  fs::copy_file(clip_, c);
  const auto start = std::chrono::steady_clock::now();
  const RunResult big = run(Queue(10000, {{0, clip_}, {5000, b.string()}, {9999, c.string()}}), 1 << 20);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(big.Crashed()) << "signal " << big.signal;
  EXPECT_EQ(big.exitCode, 1);
  EXPECT_NE(big.out.find("Converted 3 of 10000 files"), std::string::npos) << big.err;
  EXPECT_EQ(ListTree(out), (std::vector<std::string>{"a.3gp", "b.3gp", "c.3gp"}));

  // The CLI's own memory: runs without any encoder, 100 files against 10 000.
  const RunResult small = run(Queue(100, {}), 1 << 20);
  const RunResult large = run(Queue(10000, {}), 1 << 20);
  EXPECT_FALSE(small.Crashed() || large.Crashed());
  const long perFileBytes = (large.peakRssKb - small.peakRssKb) * 1024 / 9900;
  EXPECT_LT(perFileBytes, 4096) << small.peakRssKb << " kB for 100 files, " << large.peakRssKb
                                << " kB for 10 000";
  gFigures.push_back("10 000-file queue on a 1 MiB stack: 3 converted, 9 997 refused, " +
                     std::to_string(seconds) + " s; peak RSS " + std::to_string(small.peakRssKb) +
                     " kB (100 files) -> " + std::to_string(large.peakRssKb) + " kB (10 000 files), " +
                     std::to_string(perFileBytes) + " bytes per file");
}

// Names one folder may take for one (ext4's casefold, APFS, a FAT card): each output gets a
// number of its own, and no numbered name lands on a source of the batch.
TEST_F(SettingsAndQueue, NamesOneUnderNfkcCasefoldNeverShareAnOutput) {
  const fs::path out = box_->Make("folded-out");
  const fs::path sources = box_->Make("folded");
  std::vector<std::string> argv{"--output", out.string()};
  int folder = 0;
  for (const char* name : {"café", "cafe\u0301", "ﬁle", "FILE", "straße", "straße"}) {
    const fs::path source = sources / std::to_string(++folder) / (std::string(name) + ".avi");
    fs::create_directories(source.parent_path());
    fs::copy_file(clip_, source);
    argv.push_back(source.string());
  }
  const fs::path planted = out / "STRASSE (2).3gp";
  WriteFile(planted, "a source");
  argv.push_back(planted.string());
  const RunResult run = Cli(argv, 120);
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("Converted 6 of 7 files"), std::string::npos) << run.out;
  EXPECT_EQ(ListTree(out), (std::vector<std::string>{"FILE (2).3gp", "STRASSE (2).3gp", "cafe\u0301 (2).3gp",
                                                     "café.3gp", "straße (3).3gp", "straße.3gp", "ﬁle.3gp"}));
  EXPECT_EQ(ReadFile(planted), "a source");
}

}  // namespace
}  // namespace vintrel::hostile
