// vintrel-cli with the real encoder, on clips made here with Debian's ffmpeg.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "cli/level_text.h"
#include "engine/command_line.h"
#include "intake/file_queue.h"
#include "media.h"
#include "processes.h"
#include "settings_choices.h"
#include "temp_folder.h"
#include "vintrel_version.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ReadFile;

struct Finished {
  int status = -1;  // exit code, or 128 + signal
  std::string out;
  std::string err;
};

Finished Done(testing_support::Started& started) {
  const testing_support::RunResult run = testing_support::Finish(started);
  return {run.signal != 0 ? 128 + run.signal : run.exitCode, run.out, run.err};
}

// Whether a child of `parent` holds a file of the folder open: the encoder writing its output,
// which has no name until it is complete.
bool ChildWritesInto(pid_t parent, const fs::path& folder) {
  for (pid_t child : testing_support::ChildrenNamed(parent, {})) {
    if (testing_support::HoldsFileIn(child, folder)) return true;
  }
  return false;
}

// The encoders `parent` runs, once there are `count` of them (none after 60 s).
std::vector<pid_t> EncodersOnceRunning(pid_t parent, std::size_t count, int drainFd = -1) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  std::vector<pid_t> encoders;
  while (encoders.size() < count && std::chrono::steady_clock::now() < deadline) {
    char ignored[4096];
    if (drainFd >= 0) (void)!read(drainFd, ignored, sizeof ignored);  // a full terminal would block the batch
    std::this_thread::sleep_for(5ms);
    encoders = testing_support::ChildrenNamed(parent, "conv.exe");
  }
  return encoders;
}

// Runs the program as the only one on a terminal of its own: closing the returned master end
// hangs the terminal up, as closing a terminal window does.
testing_support::Started LaunchOnTerminal(const std::vector<std::string>& argv, int& master) {
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
  fcntl(master, F_SETFD, FD_CLOEXEC);  // held by the program too, the terminal would never hang up
  testing_support::RunOptions options;
  options.terminal = slave;
  testing_support::Started started = testing_support::StartProgram(argv, options);
  close(slave);
  fcntl(master, F_SETFL, O_NONBLOCK);
  return started;
}

// A clip of the shared cache under the name a test needs: outputs are named after it.
void MakeClip(const fs::path& file, const std::string& video, const std::vector<std::string>& codecs,
              int seconds) {
  std::vector<std::string> args{
      "-f", "lavfi", "-i", video, "-f", "lavfi", "-i", "sine=frequency=440", "-t", std::to_string(seconds)};
  args.insert(args.end(), codecs.begin(), codecs.end());
  fs::copy_file(testing_support::Clip(file.filename().string(), args), file);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The line the CLI prints for a file when nothing else in the batch claims its output name.
// A dry run's lines for one file: the command, then the level and size a minute as a comment.
std::string LineFor(const ConversionSettings& settings, const std::string& source, const std::string& app) {
  return BuildCommandLine(settings, source, OutputPathFor(settings, source), app + "/data/conv.exe") +
         "\n# " + cli::DryRunLevelLine(settings) + "\n";
}

bool IsThreeGp(const fs::path& file) {
  const std::string head = ReadFile(file).substr(0, 12);
  return head.size() == 12 && head.substr(4, 4) == "ftyp" && head.substr(8, 3) == "3gp";
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clipFolder_ = std::make_unique<testing_support::TempFolder>("vintrel-cli-clips");
    clips_ = clipFolder_->Path();
    const std::string small = "testsrc=size=320x240:rate=25";
    MakeClip(clips_ / "a.avi", small, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, 2);
    MakeClip(clips_ / "b.mp4", small, {"-c:v", "mpeg4", "-c:a", "aac"}, 2);
    MakeClip(clips_ / "c.mov", small, {"-c:v", "mpeg4", "-c:a", "aac"}, 2);
    std::mt19937 noise(5);
    std::ofstream bad(clips_ / "bad.avi", std::ios::binary);
    for (int i = 0; i < 65536; ++i) bad.put(static_cast<char>(noise()));
  }
  static void TearDownTestSuite() { clipFolder_.reset(); }

  // Every test gets its own application folder, as an installed copy would be.
  void SetUp() override {
    folder_ = std::make_unique<testing_support::TempFolder>("vintrel-cli");
    fs::create_directories(folder_->Path() / "app" / "data");
    root_ = fs::canonical(folder_->Path());  // the program finds its folder with links resolved
    fs::copy_file(VINTREL_CLI_PATH, root_ / "app" / "vintrel-cli");
    fs::copy_file(VINTREL_ENCODER_PATH, root_ / "app" / "data" / "conv.exe");
    out_ = root_ / "out";
  }
  void TearDown() override { folder_.reset(); }

  std::string Clip(const std::string& name) const { return (clips_ / name).string(); }
  std::string App() const { return (root_ / "app").string(); }

  testing_support::Started Launch(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), (root_ / "app" / "vintrel-cli").string());
    return testing_support::StartProgram(arguments, testing_support::Within(250));
  }
  Finished Cli(std::vector<std::string> arguments) const {
    testing_support::Started started = Launch(std::move(arguments));
    return Done(started);
  }

  std::vector<std::string> OutputNames() const {
    std::vector<std::string> names;
    if (fs::exists(out_)) {
      for (const auto& entry : fs::directory_iterator(out_))
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static inline std::unique_ptr<testing_support::TempFolder> clipFolder_;
  static inline fs::path clips_;
  std::unique_ptr<testing_support::TempFolder> folder_;
  fs::path root_;
  fs::path out_;
};

TEST_F(CliTest, ConvertsEveryFileInOrder) {
  const Finished run = Cli({"--output", out_.string(), Clip("a.avi"), Clip("b.mp4"), Clip("c.mov")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const auto lines = Lines(run.out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "[1/3] " + Clip("a.avi") + " -> " + (out_ / "a.3gp").string());
  // The window's defaults: 176x144 at 14.985 fps and 120 kbit/s need Level 45.
  const std::string size = cli::SizeText(fs::file_size(out_ / "a.3gp"));
  EXPECT_EQ(lines[1],
            "[1/3] converted -> " + (out_ / "a.3gp").string() + " (H.263 Profile 0 Level 45, " + size + ")");
  EXPECT_EQ(lines[2].substr(0, 6 + Clip("b.mp4").size()), "[2/3] " + Clip("b.mp4"));
  EXPECT_EQ(lines[4].substr(0, 6 + Clip("c.mov").size()), "[3/3] " + Clip("c.mov"));
  EXPECT_NE(run.out.find("Converted 3 of 3 files into " + out_.string()), std::string::npos);
  EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a.3gp", "b.3gp", "c.3gp"}));
  for (const char* name : {"a.3gp", "b.3gp", "c.3gp"}) EXPECT_TRUE(IsThreeGp(out_ / name)) << name;
}

TEST_F(CliTest, CorruptFileIsReportedAndTheBatchGoesOn) {
  const Finished run = Cli({"--output", out_.string(), Clip("a.avi"), Clip("bad.avi"), Clip("c.mov")});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a.3gp", "c.3gp"}));
  const std::string failed = "Failed:\n  " + Clip("bad.avi") + ": ";
  const std::size_t at = run.out.find(failed);
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string reason =
      run.out.substr(at + failed.size(), run.out.find('\n', at + failed.size()) - at - failed.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(reason.find("time="), std::string::npos) << reason;
  EXPECT_NE(run.out.find("Converted 2 of 3 files"), std::string::npos);
}

TEST_F(CliTest, SameBaseNameGivesTwoOutputs) {
  fs::create_directories(root_ / "x");
  fs::create_directories(root_ / "y");
  fs::copy_file(Clip("a.avi"), root_ / "x" / "clip.avi");
  fs::copy_file(Clip("b.mp4"), root_ / "y" / "clip.part2.mp4");
  const Finished run = Cli({"--output", out_.string(), (root_ / "x" / "clip.avi").string(),
                            (root_ / "y" / "clip.part2.mp4").string()});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(OutputNames(), (std::vector<std::string>{"clip (2).3gp", "clip.3gp"}));
  EXPECT_TRUE(IsThreeGp(out_ / "clip (2).3gp"));

  // Also apart by letter case, for a FAT card, and with jobs at once; a source that links to a
  // running file's output waits for it.
  fs::copy_file(Clip("b.mp4"), root_ / "y" / "Clip.mp4");
  fs::create_symlink(out_ / "Clip (2).3gp", root_ / "later.avi");
  fs::remove_all(out_);
  const Finished jobs = Cli({"--jobs", "2", "--output", out_.string(), (root_ / "x" / "clip.avi").string(),
                             (root_ / "y" / "Clip.mp4").string(), (root_ / "later.avi").string()});
  ASSERT_EQ(jobs.status, 0) << jobs.out << jobs.err;
  EXPECT_EQ(OutputNames(), (std::vector<std::string>{"Clip (2).3gp", "clip.3gp", "later.3gp"}));
}

// Names are given in queue order whatever finishes first: a failed first "clip" leaves the
// plain name to the next one, as it does with one job.
TEST_F(CliTest, JobsConvertFilesAtOnceWithTheNamesAndSummaryOfOneJob) {
  for (const char* folder : {"x", "y", "z"}) fs::create_directories(root_ / folder);
  fs::copy_file(Clip("bad.avi"), root_ / "z" / "clip.avi");
  fs::copy_file(Clip("a.avi"), root_ / "x" / "clip.avi");
  fs::copy_file(Clip("b.mp4"), root_ / "y" / "clip.part2.mp4");
  const std::vector<std::string> files{Clip("a.avi"), (root_ / "z" / "clip.avi").string(),
                                       (root_ / "x" / "clip.avi").string(),
                                       (root_ / "y" / "clip.part2.mp4").string(), Clip("c.mov")};
  std::string oneJobSummary;
  for (const char* jobs : {"1", "2"}) {
    fs::remove_all(out_);
    std::vector<std::string> arguments{"--jobs", jobs, "--output", out_.string()};
    arguments.insert(arguments.end(), files.begin(), files.end());
    const Finished run = Cli(arguments);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a.3gp", "c.3gp", "clip (2).3gp", "clip.3gp"}))
        << jobs;
    const std::string summary = run.out.substr(run.out.find("\nConverted "));
    if (oneJobSummary.empty()) oneJobSummary = summary;
    EXPECT_EQ(summary, oneJobSummary);
    // Each file starts in queue order, under its name, and ends after it started.
    const auto lines = Lines(run.out);
    const char* outputs[] = {"a.3gp", "clip.3gp", "clip.3gp", "clip (2).3gp", "c.3gp"};
    auto previous = lines.begin();
    for (std::size_t k = 0; k < files.size(); ++k) {
      const std::string prefix = "[" + std::to_string(k + 1) + "/5] ";
      const auto start =
          std::find(previous, lines.end(), prefix + files[k] + " -> " + (out_ / outputs[k]).string());
      ASSERT_NE(start, lines.end()) << jobs << run.out;
      const auto end =
          std::find_if(start + 1, lines.end(), [&](const auto& l) { return l.starts_with(prefix); });
      EXPECT_NE(end, lines.end()) << prefix;
      previous = start;
    }
  }
}

TEST_F(CliTest, JobsAreLoweredToWhatTheOpenFileLimitAllows) {
  const auto run = testing_support::RunProgram(
      {"/bin/sh", "-c", "ulimit -n 17 && exec \"$0\" \"$@\"", (root_ / "app" / "vintrel-cli").string(),
       "--jobs", "40", "--output", out_.string(), Clip("a.avi"), Clip("b.mp4"), Clip("c.mov")},
      testing_support::Within(250));
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.err.find(": the limit on open files allows no more encoders at once"), std::string::npos)
      << run.err;
  EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a.3gp", "b.3gp", "c.3gp"}));
}

TEST_F(CliTest, BadUsageExitsWithTwo) {
  const struct {
    std::vector<std::string> arguments;
    std::string says;
  } cases[] = {
      {{"--size", "100x100", "a.avi"}, "(valid: 128x96, 160x120, 176x144, 352x288)"},
      {{"--video-bitrate=300", "a.avi"}, "(valid: 40, 80, 120, 256, 512)"},
      {{"--fps", "25", "a.avi"}, "(valid: 14.985, 23.975, 25.0, 29.97)"},
      {{"--audio-bitrate", "12.2", "a.avi"}, "4.75k, 5.15k, 5.9k, 6.7k, 7.4k, 7.95k, 10.2k, 12.2k)"},
      {{"--output", "", "a.avi"}, "--output needs a non-empty value"},
      {{"--bitrate", "120", "a.avi"}, "unknown option '--bitrate'"},
      {{"a.avi", "--size"}, "missing value for --size"},
      {{"--dry-run"}, "no files given"},
      {{"--dry-run=1", "a.avi"}, "option '--dry-run' takes no value"},
      {std::vector<std::string>(kQueueLimit + 1, "a.avi"), "vintrel-cli: The list is full (100000 files).\n"},
  };
  for (const auto& c : cases) {
    const Finished run = Cli(c.arguments);
    EXPECT_EQ(run.status, 2) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(fs::exists(root_ / "app" / "output"));

  const Finished help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vintrel-cli [options] FILE...", 0), 0u);
  const Finished version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("vintrel-cli ") + kVersionText + "\n");
}

TEST_F(CliTest, DryRunPrintsTheCommandLinesOfTheSavedSettings) {
  const std::string saved = (root_ / "saved").string();
  std::ofstream(root_ / "app" / "setup.ini") << "\"3\"\r\n\"1\"\r\n\"2\"\r\n\"6\"\r\n\"" << saved << "\"\r\n";
  const std::vector<std::string> files{Clip("a.avi"), Clip("b.mp4")};

  Finished run = Cli({"--dry-run", files[0], files[1]});
  ASSERT_EQ(run.status, 0) << run.err;
  using enum Picker;
  ConversionSettings settings = testing_support::Choices(
      {{VideoBitrate, "256"}, {FrameSize, "160x120"}, {FrameRate, "25.0"}, {AudioBitrate, "10.2k"}}, saved);
  EXPECT_EQ(run.out, LineFor(settings, files[0], App()) + LineFor(settings, files[1], App()));

  run = Cli({"--dry-run", "--fps", "29.97", "--output", out_.string(), "--video-bitrate", "40", files[0]});
  settings.pickers[FrameRate] = "29.97";
  settings.pickers[VideoBitrate] = "40";
  settings.OutputFolder = out_.string();
  EXPECT_EQ(run.out, LineFor(settings, files[0], App()));
  EXPECT_FALSE(fs::exists(saved));
  EXPECT_FALSE(fs::exists(out_));

  fs::remove(root_ / "app" / "setup.ini");  // the window's defaults
  run = Cli({"--dry-run", "--output", out_.string(), files[1]});
  const ConversionSettings defaults = testing_support::Choices({}, out_.string());
  EXPECT_EQ(run.out, LineFor(defaults, files[1], App()));

  // A saved folder named like an option reaches the encoder in full.
  std::ofstream(root_ / "app" / "setup.ini") << "\"2\"\r\n\"2\"\r\n\"0\"\r\n\"1\"\r\n\"-x\"\r\n";
  const testing_support::RunResult dashed = testing_support::RunProgram(
      {(root_ / "app" / "vintrel-cli").string(), "--dry-run", files[0]}, testing_support::Within(60, root_));
  EXPECT_EQ(dashed.exitCode, 0) << dashed.err;
  EXPECT_NE(dashed.out.find(" \"" + (root_ / "-x" / "a.3gp").string() + "\""), std::string::npos)
      << dashed.out;
  // With the current folder gone, a relative folder cannot be made full: said, not thrown.
  fs::create_directories(root_ / "gone");
  const testing_support::RunResult gone = testing_support::RunProgram(
      {"/bin/sh", "-c", "cd \"$0\" && rmdir \"$0\" && exec \"$1\" --dry-run --output rel a.avi",
       (root_ / "gone").string(), (root_ / "app" / "vintrel-cli").string()});
  EXPECT_EQ(gone.exitCode, 1) << gone.err;
  EXPECT_NE(gone.err.find("cannot make the output folder 'rel' a full path"), std::string::npos) << gone.err;
}

// An output folder that cannot be one says what stands in its place, not the system's "File exists".
TEST_F(CliTest, AnOutputFolderThatIsAFileOrALoopSaysSo) {
  const fs::path plain = root_ / "plain";
  std::ofstream(plain) << "kept";
  const fs::path loop = root_ / "loop";
  fs::create_symlink(loop, loop);
  const struct {
    fs::path folder;
    std::string says;
  } cases[] = {{plain, "a file of that name is there, not a folder"},
               {loop, "it is a symbolic link that leads round in a loop"}};
  for (const auto& c : cases) {
    const Finished run = Cli({"--output", c.folder.string(), Clip("a.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("FAILED: The output folder cannot be created: " + c.says), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("File exists"), std::string::npos) << run.out;
  }
  EXPECT_EQ(ReadFile(plain), "kept");
}

TEST_F(CliTest, MissingEncoderEndsTheBatchOnce) {
  fs::remove(root_ / "app" / "data" / "conv.exe");
  for (const char* jobs : {"1", "2"}) {
    const Finished run = Cli({"--jobs", jobs, "--output", out_.string(), Clip("a.avi"), Clip("b.mp4")});
    EXPECT_EQ(run.status, 1);
    const std::string message = "File or command not found";
    const std::size_t first = run.err.find(message);
    ASSERT_NE(first, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(message, first + 1), std::string::npos) << jobs;
    EXPECT_NE(run.out.find("Not converted (the batch stopped before them):\n  " + Clip("a.avi") + "\n  " +
                           Clip("b.mp4")),
              std::string::npos)
        << run.out;
  }
}

// A closed terminal (SIGHUP) ends the batch the same way.
TEST_F(CliTest, CtrlCStopsTheEncoderAndLeavesNoPartialOutput) {
  const fs::path longClip = root_ / "long.avi";
  // Cheap to make, a few seconds of work for the encoder at the largest size and rate.
  MakeClip(longClip, "testsrc=size=160x120:rate=10", {"-c:v", "mpeg4", "-q:v", "10", "-c:a", "libmp3lame"},
           600);
  fs::copy_file(longClip, root_ / "long2.avi");
  const std::pair<const char*, int> cases[] = {{"1", SIGINT}, {"1", SIGHUP}, {"2", SIGINT}};
  for (const auto& [jobs, signal] : cases) {
    testing_support::Started child =
        Launch({"--jobs", jobs, "--output", out_.string(), "--size", "352x288", "--fps", "29.97",
                "--video-bitrate", "512", longClip.string(), (root_ / "long2.avi").string(), Clip("a.avi")});
    // Wait until the encoder has started writing its output.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!ChildWritesInto(child.pid, out_) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(ChildWritesInto(child.pid, out_)) << ReadFile(child.outFile);
    kill(child.pid, signal);
    const Finished run = Done(child);
    EXPECT_EQ(run.status, 128 + signal) << jobs << run.out << run.err;
    EXPECT_EQ(OutputNames(), std::vector<std::string>{}) << "partial output left behind";
    EXPECT_NE(run.out.find("Failed:\n  " + longClip.string() + ": Cancelled\n"), std::string::npos)
        << run.out;
    const std::size_t notConverted = run.out.find("Not converted (the batch stopped before them):\n");
    ASSERT_NE(notConverted, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  " + Clip("a.avi") + "\n", notConverted), std::string::npos) << run.out;
  }
}

// A second signal (a closing terminal sends SIGHUP twice) ends the CLI at once, and a closed
// terminal ends it too: neither leaves an encoder running. Ctrl+Z stops the encoders with it.
TEST_F(CliTest, SignalsAgainOrAClosedTerminalLeaveNoEncoderRunning) {
  const fs::path longClip = root_ / "long.avi";
  MakeClip(longClip, "testsrc=size=160x120:rate=10", {"-c:v", "mpeg4", "-q:v", "10", "-c:a", "libmp3lame"},
           600);
  fs::copy_file(longClip, root_ / "long2.avi");
  const std::vector<std::string> arguments{
      "--jobs", "2", "--output", out_.string(), longClip.string(), (root_ / "long2.avi").string()};
  const auto expectNoneRunning = [](const std::vector<pid_t>& encoders, int round) {
    for (pid_t encoder : encoders) EXPECT_FALSE(testing_support::StillRunning(encoder)) << round;
  };
  for (int round = 0; round < 20; ++round) {
    testing_support::Started cli = Launch(arguments);
    const std::vector<pid_t> encoders = EncodersOnceRunning(cli.pid, 2);
    ASSERT_EQ(encoders.size(), 2u) << round;
    const int first = round % 2 ? SIGTERM : SIGHUP;
    kill(cli.pid, first);
    std::this_thread::sleep_for(1ms);
    kill(cli.pid, SIGINT);
    // Both may be pending before either is taken; the system then hands over the lower number.
    const int status = Done(cli).status;
    EXPECT_TRUE(status == 128 + first || status == 128 + SIGINT) << round << " " << status;
    expectNoneRunning(encoders, round);
  }
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> argv = arguments;
    argv.insert(argv.begin(), (root_ / "app" / "vintrel-cli").string());
    int master = -1;
    testing_support::Started cli = LaunchOnTerminal(argv, master);
    ASSERT_GT(cli.pid, 0);
    const std::vector<pid_t> encoders = EncodersOnceRunning(cli.pid, 2, master);
    ASSERT_EQ(encoders.size(), 2u) << round;
    close(master);
    const testing_support::RunResult run = testing_support::Finish(cli);
    EXPECT_TRUE(run.signal == 0 && run.exitCode == 128 + SIGHUP) << round << " " << run.exitCode;
    expectNoneRunning(encoders, round);
  }
  EXPECT_EQ(OutputNames(), std::vector<std::string>{});

  testing_support::Started cli = Launch(arguments);
  const std::vector<pid_t> encoders = EncodersOnceRunning(cli.pid, 2);
  ASSERT_EQ(encoders.size(), 2u);
  const auto allIn = [&](bool stopped) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::all_of(encoders.begin(), encoders.end(),
                      [&](pid_t p) { return (testing_support::ProcessState(p) == 'T') == stopped; }))
        return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  };
  kill(cli.pid, SIGTSTP);
  EXPECT_TRUE(allIn(true));
  EXPECT_EQ(testing_support::ProcessState(cli.pid), 'T');
  kill(cli.pid, SIGCONT);
  EXPECT_TRUE(allIn(false));
  kill(cli.pid, SIGINT);
  EXPECT_EQ(Done(cli).status, 128 + SIGINT);
  expectNoneRunning(encoders, -1);
}

}  // namespace
}  // namespace vintrel
