#include "engine/batch_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/utf8_path.h"
#include "process/event_pump.h"
#include "settings_choices.h"
#include "temp_folder.h"
#include "text_checks.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;

struct ScriptedRun {
  std::vector<std::string> pieces;
  int exitCode = 0;
  bool writeOutput = true;
  bool startFails = false;
  std::function<void()> during;  // runs while the child "works"
};

ScriptedRun Scripted(std::vector<std::string> pieces, int exitCode = 0, bool writeOutput = true) {
  ScriptedRun run;
  run.pieces = std::move(pieces);
  run.exitCode = exitCode;
  run.writeOutput = writeOutput;
  return run;
}
ScriptedRun During(std::function<void()> during) {
  ScriptedRun run;
  run.during = std::move(during);
  return run;
}
ScriptedRun StartFails() {
  ScriptedRun run;
  run.startFails = true;
  return run;
}

// Plays runs from a script; "encodes" by writing a few bytes to the output path it was given.
class FakeRunner : public CommandRunner {
 public:
  explicit FakeRunner(Log& log) : log_(log) {}

  void SetCommandLine(std::string commandLine) override { commandLine_ = std::move(commandLine); }
  const std::string& CommandLine() const override { return commandLine_; }
  const std::string& Outputs() const override { return outputs_; }
  ExitStatus LastExitStatus() const override { return status_; }
  void Stop() override {
    log_.push_back("stop");
    stopped_ = true;
  }

  std::string ExecuteCommand(const std::string& dosCommand = {}) override {
    if (!dosCommand.empty()) commandLine_ = dosCommand;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    ScriptedRun run = defaultRun;
    if (!script.empty()) {
      run = std::move(script.front());
      script.pop_front();
    }
    if (run.startFails) {
      log_.push_back("critical File or command not found");
      status_ = {};
      --depth;
      return {};
    }
    commandLines.push_back(commandLine_);
    log_.push_back("run " + commandLine_);
    outputs_.clear();
    stopped_ = false;
    for (const std::string& piece : run.pieces) {
      outputs_ += piece;
      if (ReceiveOutputs) ReceiveOutputs(piece);
    }
    if (run.during) run.during();
    if (stopped_) {
      status_ = {ExitStatus::Kind::Signaled, 0, 2};
    } else {
      if (run.writeOutput) std::ofstream(PathFromUtf8(OutputOf(commandLine_))) << "3gp";
      status_ = {ExitStatus::Kind::Exited, run.exitCode, 0};
    }
    if (CommandOver) CommandOver();
    --depth;
    return outputs_;
  }

  static std::string OutputOf(const std::string& line) {
    const std::size_t close = line.rfind('"');
    const std::size_t open = line.rfind('"', close - 1);
    return line.substr(open + 1, close - open - 1);
  }

  std::deque<ScriptedRun> script;
  ScriptedRun defaultRun;  // when the script has run out
  std::vector<std::string> commandLines;
  int depth = 0;
  int maxDepth = 0;

 private:
  Log& log_;
  std::string commandLine_;
  std::string outputs_;
  ExitStatus status_;
  bool stopped_ = false;
};

// Records every effect in the same log as the runner, so the order can be checked. Plays every
// side of the face and the pump.
class RecordingView : public BatchDisplay,
                      public BatchDesktop,
                      public BatchInputs,
                      public BatchReports,
                      public SleepingEventPump {
 public:
  explicit RecordingView(Log& log) : log_(log) {}

  void SetActionsEnabled(bool enabled) override { log_.push_back(enabled ? "actions on" : "actions off"); }
  void ClearStartButtonLook() override { log_.push_back("start look cleared"); }
  void SetProgressLabel(const std::string& text) override { log_.push_back("label " + text); }
  void SetProgress(double fraction) override { log_.push_back("bar " + std::to_string(int(fraction * 100))); }
  void SetDropHintVisible(bool visible) override { log_.push_back(visible ? "hint on" : "hint off"); }
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon) override {
    log_.push_back("message " + title);
    lastMessage = text;
  }
  void ShowDetailedMessage(const std::string& title, const std::string& text, const std::string& details,
                           MessageIcon icon) override {
    ShowMessage(title, text, icon);
    lastDetails = details;
  }
  void OpenFolder(const std::string& folder) override { log_.push_back("open " + folder); }
  void PlaySoundToEnd(const std::string& wav) override { log_.push_back("sound " + wav); }
  ConversionSettings ReadSettings() override { return settings; }
  void DispatchPending() override { log_.push_back("dispatch"); }
  BatchSeams Seams() { return {*this, *this, *this, *this}; }
  std::string AskForSourceFile() override { return nextFile; }
  int SelectedRow() override { return selectedRow; }

  ConversionSettings settings = testing_support::Choices();
  std::string lastMessage;
  std::string lastDetails;
  std::string nextFile;
  int selectedRow = -1;

 private:
  Log& log_;
};

class BatchControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "src");
    view_.settings.OutputFolder = Path("out");
  }

  std::string Path(const std::string& relative) const {
    return Utf8FromPath((root_ / PathFromUtf8(relative)).make_preferred());
  }
  std::string Source(const std::string& name) {
    const std::string path = Path("src/" + name);
    fs::create_directories(PathFromUtf8(path).parent_path());
    std::ofstream(PathFromUtf8(path)) << "media";
    return path;
  }
  std::string Out(const std::string& name) const { return Path("out/" + name); }
  std::vector<std::string> Outputs() const {
    std::vector<std::string> outputs;
    for (const auto& line : runner_.commandLines) outputs.push_back(FakeRunner::OutputOf(line));
    return outputs;
  }

  testing_support::TempFolder folder_{"vintrel-batch"};
  const fs::path root_ = folder_.Path();
  Log log_;
  FileQueue queue_;
  FakeRunner runner_{log_};
  RecordingView view_{log_};
  const AppPaths paths_ = [] {
    AppPaths paths;
    paths.encoderPath = "/opt/vintrel/data/conv.exe";
    paths.soundFile = "/opt/vintrel/sound.wav";
    return paths;
  }();
  BatchController controller_{queue_, runner_, view_, view_.Seams(), paths_};
};

TEST_F(BatchControllerTest, EmptyQueueOnlyAsksForAFile) {
  controller_.RunAction(kActionStart);
  EXPECT_EQ(log_, Log({"message Add"}));
  EXPECT_EQ(view_.lastMessage, "Please Add a file");
  EXPECT_FALSE(controller_.Running());
  EXPECT_EQ(controller_.LastEnd(), BatchEnd::None);
}

TEST_F(BatchControllerTest, OneFileEffectsInOrder) {
  queue_.AddToQueue(Source("clip.avi"));
  runner_.script.push_back(Scripted({"Duration: 00:00:10.00, start", "frame= 1 time=5.00 bitrate"}));
  controller_.Start();
  const std::string line = runner_.commandLines.at(0);
  EXPECT_EQ(line,
            BuildCommandLine(view_.settings, Path("src/clip.avi"), Out("clip.3gp"), paths_.encoderPath));
  EXPECT_EQ(log_, Log({"start look cleared", "actions off", "run " + line, "bar 50", "label 50%", "bar 100",
                       "label 100%", "dispatch", "open " + Path("out"), "sound /opt/vintrel/sound.wav",
                       "label Done.", "actions on", "hint on"}));
  ASSERT_EQ(controller_.Results().size(), 1u);
  EXPECT_TRUE(controller_.Results()[0].converted);
  EXPECT_TRUE(queue_.Empty());
  EXPECT_EQ(controller_.LastEnd(), BatchEnd::Finished);
}

TEST_F(BatchControllerTest, FilesRunInQueueOrderAndEachReadsItsOwnDuration) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) queue_.AddToQueue(Source(name));
  runner_.script.push_back(Scripted({"Duration: 00:00:10.00, ", "time=5.00 "}));
  runner_.script.push_back(Scripted({"Duration: 00:00:20.00, ", "time=5.00 "}));
  runner_.script.push_back(Scripted({"time=5.00 "}));  // no duration: the display must not move
  controller_.Start();
  EXPECT_EQ(Outputs(), (std::vector<std::string>{Out("a.3gp"), Out("b.3gp"), Out("c.3gp")}));
  const auto quarter = std::find(log_.begin(), log_.end(), "label 25%");
  ASSERT_NE(quarter, log_.end());
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "label 100%"), 3);
  EXPECT_EQ(log_[log_.size() - 3], "label Done.");
  EXPECT_EQ(runner_.maxDepth, 1);
}

TEST_F(BatchControllerTest, FailuresAreRecordedAndTheBatchGoesOn) {
  for (const char* name : {"bad.avi", "empty.avi", "good.avi", "killed.avi"}) queue_.AddToQueue(Source(name));
  runner_.script.push_back(
      Scripted({"time=1.00 \n", "Error: bad.avi: Invalid data found\r\n\n  \n"}, 1, false));
  runner_.script.push_back(Scripted({}, 0, false));
  runner_.script.push_back({});
  runner_.script.push_back(During([this] { runner_.Stop(); }));
  controller_.Start();

  const auto& results = controller_.Results();
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].reason, "Error: bad.avi: Invalid data found");
  EXPECT_EQ(results[1].reason, "The encoder reported success but wrote no output file");
  EXPECT_TRUE(results[2].converted);
  EXPECT_TRUE(results[2].reason.empty());
  EXPECT_FALSE(results[3].converted);
  const ExitStatus killed{ExitStatus::Kind::Signaled, 0, 2};
  EXPECT_EQ(results[3].reason, "Encoder failed: " + killed.Describe());
  EXPECT_EQ(controller_.FailedCount(), 3);
  EXPECT_TRUE(queue_.Empty());
  const Log tail(log_.end() - 4, log_.end());
  EXPECT_EQ(tail, Log({"label Done, 3 failed.", "message Convert", "actions on", "hint on"}));
  EXPECT_NE(view_.lastMessage.find(results[0].source + "\n    Error: bad.avi"), std::string::npos);
  EXPECT_EQ(view_.lastMessage.find(results[2].source), std::string::npos);
}

TEST_F(BatchControllerTest, SameOutputNameInOneBatchIsNumbered) {
  for (const char* name : {"a/holiday.avi", "b/holiday.wmv", "holiday.part1.avi", "holiday.part2.avi"}) {
    queue_.AddToQueue(Source(name));
  }
  runner_.script.resize(4);
  runner_.script[1].writeOutput = false;  // a failed file claims no name
  runner_.script[1].exitCode = 1;
  controller_.Start();
  EXPECT_EQ(Outputs(), (std::vector<std::string>{Out("holiday.3gp"), Out("holiday (2).3gp"),
                                                 Out("holiday (2).3gp"), Out("holiday (3).3gp")}));
  // A later batch overwrites as before.
  queue_.AddToQueue(Path("src/a/holiday.avi"));
  controller_.Start();
  EXPECT_EQ(Outputs().back(), Out("holiday.3gp"));
  EXPECT_EQ(controller_.Results().size(), 1u);
  // Names that differ only by letter case are one file on a phone's FAT card, whatever folder
  // the batch writes to.
  for (const char* name : {"c/Ärger.avi", "d/äRGER.wmv", "e/ΣΟΦΊΑ.avi", "f/σοφία.avi"}) {
    queue_.AddToQueue(Source(name));
  }
  controller_.Start();
  const std::vector<std::string> outputs = Outputs();
  EXPECT_EQ(std::vector<std::string>(outputs.end() - 4, outputs.end()),
            (std::vector<std::string>{Out("Ärger.3gp"), Out("äRGER (2).3gp"), Out("ΣΟΦΊΑ.3gp"),
                                      Out("σοφία (2).3gp")}));
}

TEST_F(BatchControllerTest, NoOutputMayReplaceASourceOfTheBatch) {
  fs::create_directories(root_ / "out");
  const std::string own = Path("out/clip.3gp");
  std::ofstream(own) << "old";
  queue_.AddToQueue(Source("clip.avi"));  // would write over the next queued file
  queue_.AddToQueue(own);
  controller_.Start();
  EXPECT_EQ(Outputs(), std::vector<std::string>{Out("clip (2).3gp")});
  ASSERT_EQ(controller_.Results().size(), 2u);
  EXPECT_EQ(controller_.Results()[1].reason, "Output would overwrite the source");
  std::ifstream kept(own);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");
  EXPECT_EQ(log_[log_.size() - 4], "label Done, 1 failed.");
}

TEST_F(BatchControllerTest, PathsWithQuotesAreNeverRun) {
  queue_.AddToQueue(Path("src/a\" -f null x.avi"));
  queue_.AddToQueue(Path("src/dir\\"));
  queue_.AddToQueue(Source("fine.avi"));
  controller_.Start();
  EXPECT_NE(view_.lastMessage.find("The source path contains a double quote"), std::string::npos);
  EXPECT_NE(view_.lastMessage.find("The source path ends with a backslash"), std::string::npos);
  view_.settings.OutputFolder = Path("o\"ut");
  queue_.AddToQueue(Path("src/fine.avi"));
  controller_.Start();
  EXPECT_EQ(runner_.commandLines.size(), 1u);
  const auto& results = controller_.Results();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].reason, "The output path contains a double quote and cannot be passed to the encoder");
}

// Still made quietly, but the reason it could not be made is that file's reason, not the
// encoder's later "No such file or directory".
TEST_F(BatchControllerTest, AnOutputFolderThatCannotBeMadeGivesItsReason) {
  std::ofstream(PathFromUtf8(Path("plain"))) << "a file, not a folder";
  view_.settings.OutputFolder = Path("plain/out");
  queue_.AddToQueue(Source("a.avi"));
  controller_.Start();
  EXPECT_TRUE(runner_.commandLines.empty());
  ASSERT_EQ(controller_.Results().size(), 1u);
  std::error_code error;
  fs::create_directory(PathFromUtf8(view_.settings.OutputFolder), error);
  ASSERT_TRUE(error);
  EXPECT_EQ(controller_.Results()[0].reason, "The output folder cannot be created: " + error.message());
  EXPECT_TRUE(queue_.Empty());
  // The finish opens only an existing folder: not a file, and a relative name in full.
  view_.settings.OutputFolder = Path("plain");
  queue_.AddToQueue(Source("b.avi"));
  controller_.Start();
  EXPECT_EQ(
      std::count_if(log_.begin(), log_.end(), [](const std::string& e) { return e.starts_with("open"); }), 0);
  const fs::path before = fs::current_path();
  fs::current_path(root_);
  view_.settings.OutputFolder = "rel";
  queue_.AddToQueue(Source("c.avi"));
  controller_.Start();
  fs::current_path(before);
  EXPECT_TRUE(std::find(log_.begin(), log_.end(), "open " + Path("rel")) != log_.end());
}

// A batch into a folder that cannot be written fails every file; the box stays readable.
TEST_F(BatchControllerTest, ALongFailureListShowsTheFirstAndKeepsAllInTheDetails) {
  for (int i = 0; i < 25; ++i) queue_.AddToQueue(Source("f" + std::to_string(i) + ".avi"));
  runner_.defaultRun = Scripted({"Error: cannot write"}, 1, false);
  controller_.Start();
  EXPECT_NE(view_.lastMessage.find(Path("src/f19.avi")), std::string::npos);
  EXPECT_EQ(view_.lastMessage.find(Path("src/f20.avi")), std::string::npos);
  EXPECT_NE(view_.lastMessage.find("\xE2\x80\xA6 and 5 more"), std::string::npos);
  EXPECT_NE(view_.lastDetails.find(Path("src/f24.avi") + "\n    Error: cannot write"), std::string::npos);
}

TEST_F(BatchControllerTest, ActionsDuringABatchAreIgnored) {
  queue_.AddToQueue(Source("a.avi"));
  queue_.AddToQueue(Source("b.avi"));
  view_.nextFile = Path("src/late.avi");
  view_.selectedRow = 1;
  runner_.script.push_back(During([this] {
    for (int action : {kActionAdd, kActionRemove, kActionStart}) {
      controller_.RunAction(action);
    }
    controller_.Start();
  }));
  controller_.Start();
  EXPECT_EQ(runner_.commandLines.size(), 2u);
  EXPECT_EQ(runner_.maxDepth, 1);
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "actions off"), 1);
  EXPECT_TRUE(queue_.Empty());
}

TEST_F(BatchControllerTest, StartFailureEndsTheBatchAndKeepsTheHead) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) queue_.AddToQueue(Source(name));
  runner_.script.push_back(Scripted({"Error: a.avi: Invalid data"}, 1, false));
  runner_.script.push_back(StartFails());
  controller_.Start();
  EXPECT_FALSE(controller_.Running());
  EXPECT_EQ(controller_.LastEnd(), BatchEnd::StartFailed);
  ASSERT_EQ(queue_.Count(), 2u);
  EXPECT_EQ(queue_.Head(), Path("src/b.avi"));
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "critical File or command not found"), 1);
  // The first file left the queue: its failure is shown, not lost behind "100%".
  const Log tail(log_.end() - 3, log_.end());
  EXPECT_EQ(tail, Log({"label Stopped, 1 failed.", "message Convert", "actions on"}));
  EXPECT_NE(view_.lastMessage.find(Path("src/a.avi") + "\n    Error: a.avi: Invalid data"),
            std::string::npos);
  EXPECT_EQ(
      std::count_if(log_.begin(), log_.end(), [](const std::string& e) { return e.starts_with("open"); }), 0);
  // The window is usable again: a new Start converts what is left.
  controller_.RunAction(kActionStart);
  EXPECT_TRUE(queue_.Empty());
  EXPECT_EQ(controller_.LastEnd(), BatchEnd::Finished);
  EXPECT_EQ(controller_.Results().size(), 2u);
}

TEST_F(BatchControllerTest, SettingsAreReadAfreshForEveryFile) {
  queue_.AddToQueue(Source("a.avi"));
  queue_.AddToQueue(Source("b.avi"));
  runner_.script.push_back(During([this] {
    view_.settings.pickers[Picker::VideoBitrate] = "512";
    view_.settings.OutputFolder = Path("later");
  }));
  controller_.Start();
  ASSERT_EQ(runner_.commandLines.size(), 2u);
  EXPECT_NE(runner_.commandLines[0].find(" -b 120k "), std::string::npos);
  EXPECT_NE(runner_.commandLines[1].find(" -b 512k "), std::string::npos);
  EXPECT_EQ(FakeRunner::OutputOf(runner_.commandLines[1]), Path("later/b.3gp"));
  EXPECT_TRUE(fs::is_directory(root_ / "later"));
  EXPECT_NE(std::find(log_.begin(), log_.end(), "open " + Path("later")), log_.end());
}

TEST_F(BatchControllerTest, CancelStopsTheRunAndStartsNothingMore) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) queue_.AddToQueue(Source(name));
  runner_.script.push_back({});
  runner_.script.push_back(During([this] { controller_.Cancel(); }));
  controller_.Start();
  EXPECT_EQ(runner_.commandLines.size(), 2u);
  ASSERT_EQ(controller_.Results().size(), 2u);
  EXPECT_EQ(controller_.Results()[1].reason, "Cancelled");
  EXPECT_EQ(controller_.LastEnd(), BatchEnd::Cancelled);
  EXPECT_EQ(queue_.Count(), 1u);
  EXPECT_FALSE(fs::exists(PathFromUtf8(Out("b.3gp"))));
  const Log tail(log_.end() - 3, log_.end());
  EXPECT_EQ(tail, Log({"label Cancelled.", "message Convert", "actions on"}));
  controller_.Cancel();  // idle: nothing to stop
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "stop"), 1);
}

TEST_F(BatchControllerTest, AddAndRemoveKeepTheDropHint) {
  controller_.RunAction(kActionAdd);  // dialog cancelled
  EXPECT_TRUE(queue_.Empty());
  view_.nextFile = Path("a.avi");
  controller_.RunAction(kActionAdd);
  view_.nextFile = Path("b.avi");
  controller_.RunAction(kActionAdd);
  controller_.RunAction(kActionRemove);  // nothing selected
  EXPECT_EQ(queue_.Count(), 2u);
  view_.selectedRow = 0;
  controller_.RunAction(kActionRemove);
  EXPECT_EQ(queue_.Head(), Path("b.avi"));
  controller_.RunAction(kActionRemove);
  controller_.RunAction(7);
  controller_.RunAction(-1);
  EXPECT_EQ(log_, Log({"hint off", "hint off", "hint on"}));
}

// An encoder that prints a megabyte without a line feed before failing: the reason is the start
// of that "line", cut between characters, and the failure list stays small.
TEST_F(BatchControllerTest, AFailureReasonIsBoundedAndCutBetweenCharacters) {
  queue_.AddToQueue(Source("flood.avi"));
  queue_.AddToQueue(Source("short.avi"));
  std::vector<std::string> flood(1024, std::string(1023, 'x') + "\xC3\xA9");
  runner_.script.push_back(Scripted(flood, 1, false));
  const std::string exact = std::string(kReasonMaxCharacters - 1, 'y') + "\xE2\x82\xAC";
  runner_.script.push_back(Scripted({"noise\n", exact + "\n"}, 1, false));
  controller_.Start();

  const auto& results = controller_.Results();
  ASSERT_EQ(results.size(), 2u);
  const std::string& cut = results[0].reason;
  ASSERT_GE(cut.size(), kReasonCutMark.size());
  EXPECT_EQ(cut.substr(cut.size() - kReasonCutMark.size()), kReasonCutMark);
  EXPECT_EQ(testing_support::Utf8Characters(cut), kReasonMaxCharacters + 1);
  EXPECT_EQ(results[1].reason, exact);
  EXPECT_LT(view_.lastMessage.size(), 2000u);
  // A tail that begins inside a character loses the stray bytes rather than keep them.
  std::string inside = "\xA9";
  for (int i = 0; i < 400; ++i) inside += "\xC3\xA9";
  const auto characters = testing_support::Utf8Characters(BoundedReason(inside));
  ASSERT_TRUE(characters.has_value());
  EXPECT_LE(*characters, kReasonMaxCharacters + 1);
}

// The CLI's parallel batch takes the same step without the controller.
TEST_F(BatchControllerTest, AStepKeepsOnlyAConvertedOutputFromLaterFiles) {
  BatchStep step(paths_.encoderPath, NativePathStyle());
  step.Begin({});
  const PlannedFile file = step.Plan(Source("a.avi"), view_.settings);
  EXPECT_FALSE(step.Judge(file, runner_, false).has_value());  // nothing started
  runner_.script.push_back(Scripted({}, 0, false));
  runner_.ExecuteCommand(file.commandLine);
  EXPECT_EQ(step.Judge(file, runner_, true)->reason, "Cancelled");
  EXPECT_EQ(step.Plan(Source("a.wmv"), view_.settings).output, file.output);
  runner_.ExecuteCommand(file.commandLine);  // done just as the batch was cancelled: it counts
  EXPECT_TRUE(step.Judge(file, runner_, true)->converted);
  EXPECT_EQ(step.Plan(Source("a.wmv"), view_.settings).output, Out("a (2).3gp"));
}

TEST_F(BatchControllerTest, TenThousandFilesRunAtConstantDepth) {
  constexpr int kFiles = 10000;
  for (int i = 0; i < kFiles; ++i) queue_.AddToQueue(Path("src/f" + std::to_string(i) + ".avi"));
  // Failing runs write nothing, which keeps this quick where file creation is slow (wine).
  runner_.defaultRun = Scripted({"Error: no such file\n"}, 1, false);
  controller_.Start();
  EXPECT_EQ(runner_.commandLines.size(), std::size_t(kFiles));
  EXPECT_EQ(runner_.maxDepth, 1);
  EXPECT_TRUE(queue_.Empty());
  EXPECT_EQ(controller_.FailedCount(), kFiles);
  EXPECT_EQ(controller_.Results().back().source, Path("src/f9999.avi"));
}

}  // namespace
}  // namespace vintrel
