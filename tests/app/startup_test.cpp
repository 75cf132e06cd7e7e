#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings_choices.h"
#include "temp_folder.h"
#include "vintrel_version.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;
using testing_support::WriteFile;

// Records every step in the order start-up takes them.
class RecordingWindow : public StartupWindow {
 public:
  explicit RecordingWindow(TemporaryFiles leftovers) : leftovers_(std::move(leftovers)) {}

  void ApplyWindowStyle() override { steps.push_back("style"); }
  void SetFromCommandBox(bool value) override { steps.push_back(value ? "flag true" : "flag false"); }
  void CreateRunner() override {
    steps.push_back("runner");
    leftoverPresentAtRunner = fs::exists(leftovers_.video) || fs::exists(leftovers_.data);
  }
  void SelectPickers(const StoredSettings& s) override {
    pickers = testing_support::IndexesText(s);
    steps.push_back("pickers " + pickers);
  }
  void SetProgress(double fraction) override {
    steps.push_back("bar " + std::to_string(static_cast<int>(fraction)));
  }
  std::string OutputFolderText() override { return folder; }
  void SetOutputFolderText(const std::string& text) override {
    folder = text;
    steps.push_back("folder " + text);
  }
  void SetVersionColour(Rgb c) override {
    colour = c;
    steps.push_back("colour");
  }
  void SetVersionCaption(const std::string& text) override { steps.push_back("caption " + text); }

  std::vector<std::string> steps;
  std::string pickers, folder;
  Rgb colour;
  bool leftoverPresentAtRunner = false;

 private:
  TemporaryFiles leftovers_;
};

#ifndef _WIN32
class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    fs::create_directories(root_.Path() / "app");
    fs::create_directories(root_.Path() / "tmp");
    PlatformFacts facts;
    facts.applicationFolderWritable = true;
    facts.tempDir = root_.Utf8("tmp");
    facts.userId = std::to_string(getuid());
    paths_ = ResolveAppPathsFrom(root_.Utf8("app"), facts);
  }

  TempFolder root_{"vintrel-startup"};
  AppPaths paths_;
};

TEST_F(StartupTest, FreshApplicationFolderGetsItsFoldersAndDefaultsInOrder) {
  RecordingWindow window(TemporaryFilesIn(paths_.workingFolder));
  const StartupOutcome outcome = Form_Load(paths_, window);

  const std::string caption = std::string("Ver ") + kVersionText;
  EXPECT_EQ(window.steps, (std::vector<std::string>{
                              "style", "flag false", "runner", "pickers 2 2 0 1", "bar 0", "colour",
                              "folder " + paths_.applicationFolder + "/output", "caption " + caption}));
  EXPECT_EQ(window.colour, (Rgb{44, 103, 155}));
  EXPECT_TRUE(outcome.workingFolderUsable);
  EXPECT_FALSE(outcome.settingsRead);
  EXPECT_TRUE(outcome.foldersMissing.empty());
  for (const char* folder : {"output", "data"}) EXPECT_TRUE(fs::is_directory(root_.Path() / "app" / folder));
  struct stat info {};
  ASSERT_EQ(lstat(paths_.workingFolder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A second start finds everything in place and changes nothing.
  RecordingWindow again(TemporaryFilesIn(paths_.workingFolder));
  EXPECT_EQ(Form_Load(paths_, again).foldersMissing.size(), 0u);
  EXPECT_EQ(again.steps, window.steps);
}

TEST_F(StartupTest, LeftoversGoAfterTheRunnerAndSettingsComeBack) {
  struct Case {
    std::string ini;
    std::string pickers;
    std::string folder;
  };
  const std::string fallback = paths_.applicationFolder + "/output";
  const Case cases[] = {
      {"\"3\"\r\n\"1\"\r\n\"2\"\r\n\"5\"\r\n\"\"\r\n", "3 1 2 5", fallback},  // empty fifth line
      {"\"4\"\r\n\"0\"\r\n\"3\"\r\n\"7\"\r\n\"/srv/clips, new\"\r\n", "4 0 3 7", "/srv/clips, new"},
      {"\"1\"\r\n\"9\"\r\n\"1\"\r\n", "1 2 1 1", fallback},  // three lines, one out of range
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    const TemporaryFiles leftovers = TemporaryFilesIn(paths_.workingFolder);
    ASSERT_TRUE(CreatePrivateFolder(paths_.workingFolder));
    WriteFile(leftovers.video, "old");
    WriteFile(leftovers.data, "old");
    WriteFile(paths_.settingsFile, c.ini);

    RecordingWindow window(leftovers);
    const StartupOutcome outcome = Form_Load(paths_, window);
    EXPECT_TRUE(outcome.settingsRead);
    EXPECT_TRUE(window.leftoverPresentAtRunner);
    EXPECT_FALSE(fs::exists(leftovers.video));
    EXPECT_FALSE(fs::exists(leftovers.data));
    EXPECT_EQ(window.pickers, c.pickers);
    EXPECT_EQ(window.folder, c.folder);
    // Defaults first, then what the file says; the default folder only fills an empty field.
    ASSERT_GE(window.steps.size(), 7u);
    EXPECT_EQ(window.steps[3], "pickers 2 2 0 1");
    EXPECT_EQ(window.steps[5], "pickers " + c.pickers);
  }
}

TEST_F(StartupTest, AWorkingFolderOthersCanWriteIsLeftAloneAndNothingFails) {
  ASSERT_TRUE(fs::create_directories(paths_.workingFolder));
  fs::permissions(paths_.workingFolder, fs::perms::all);
  const TemporaryFiles leftovers = TemporaryFilesIn(paths_.workingFolder);
  WriteFile(leftovers.video, "someone else's");

  // And an application folder that cannot hold folders at all.
  WriteFile(root_.Path() / "file", "");
  AppPaths broken = paths_;
  broken.applicationFolder = root_.Utf8("file");
  broken.defaultOutputFolder = root_.Utf8("file/output");

  RecordingWindow window(leftovers);
  const StartupOutcome outcome = Form_Load(broken, window);
  EXPECT_FALSE(outcome.workingFolderUsable);
  EXPECT_EQ(outcome.workingFolderProblem, "others may write to " + paths_.workingFolder);
  EXPECT_TRUE(fs::exists(leftovers.video));
  EXPECT_EQ(outcome.foldersMissing.size(), 3u);
  EXPECT_EQ(window.steps.size(), 8u);  // every step still ran
  EXPECT_EQ(window.folder, root_.Utf8("file/output"));
}
#endif

TEST(StartupFolders, ClassicPlacesOnWindowsPerUserWorkingFolderOnPosix) {
  PlatformFacts windows;
  windows.windows = true;
  windows.applicationFolderWritable = true;
  EXPECT_EQ(StartupFolders(ResolveAppPathsFrom("C:\\Vintrel", windows), true),
            (std::vector<std::string>{"c:\\tmp", "C:\\Vintrel\\output", "C:\\Vintrel\\data", "c:\\windows"}));
  EXPECT_TRUE(TemporaryFilesIn("").Empty());

  PlatformFacts posix;
  posix.userId = "1000";
  posix.home = "/home/ann";
  EXPECT_EQ(
      StartupFolders(ResolveAppPathsFrom("/usr/lib/vintrel", posix), false),
      (std::vector<std::string>{"/tmp/vintrel-1000", "/home/ann/Videos/Vintrel", "/usr/lib/vintrel/data"}));
}

TEST(VersionCaption, ThreeNumbersWithoutPadding) {
  EXPECT_EQ(VersionCaption(3, 3, 0), "Ver 3.3.0");
  EXPECT_EQ(VersionCaption(10, 0, 12), "Ver 10.0.12");
  EXPECT_EQ(VersionCaption(), std::string("Ver ") + kVersionText);
}

}  // namespace
}  // namespace vintrel
