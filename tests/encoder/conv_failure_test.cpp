// How conv.exe fails: one readable last line, a non-zero exit, and nothing lost or left behind.
// Also built and run with AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "conv_support.h"
#include "processes.h"

namespace convtest {
namespace {

std::string GoodSource() {
  std::vector<std::string> args = TestPicture("320x240", 2);
  for (const std::string& arg : TestTone(2)) args.push_back(arg);
  args.insert(args.end(), {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-shortest"});
  return Clip("good.avi", args);
}

// Whether the process holds a file of the folder open, named or not.
using vintrel::testing_support::HoldsFileIn;

void ExpectFailure(const RunResult& run, const std::string& reasonPart) {
  EXPECT_NE(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.LastLine().rfind("Error: ", 0), 0u) << run.output;
  EXPECT_NE(run.LastLine().find(reasonPart), std::string::npos) << run.LastLine();
}

TEST(Failure, CommandLinesItCannotHonour) {
  TempDir dir;
  std::string src = GoodSource();
  std::string out = dir.Path("out.3gp");
  auto with = [&](const std::string& option, const std::string& value) {
    std::vector<std::string> args = WindowArgs(src, out);
    for (size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option) args[i + 1] = value;
    }
    return args;
  };
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{}, "no source"},
      {{"-i", src}, "no output"},
      {{out}, "no source"},
      {{"-i", src, "-vcodec", "h264", out}, "unknown option -vcodec"},
      {{"-i", src, out, "-b"}, "needs a value"},
      {{"-i", src, "-i", src, out}, "given twice"},
      {{"-i", src, out, dir.Path("second.3gp")}, "more than one output"},
      {{
           "-i",
           src,
           "-",
       },
       "standard output"},
      {with("-s", "17x"), "frame size"},
      {with("-s", "176x"), "frame size"},
      {with("-s", "wide"), "frame size"},
      {with("-s", "175x144"), "frame size"},
      {with("-s", "0x0"), "frame size"},
      {with("-r", "0"), "frame rate"},
      {with("-r", "-5"), "frame rate"},
      {with("-r", "fast"), "frame rate"},
      {with("-r", "60"), "frame rate"},
      {with("-b", "0k"), "video bitrate"},
      {with("-b", "lots"), "video bitrate"},
      {with("-ab", "3k"), "audio bitrate"},
      {with("-ab", "64k"), "audio bitrate"},
      {with("-acodec", "aac"), "AMR"},
      {with("-ar", "44100"), "8000 Hz"},
      {with("-ac", "2"), "1 channel"},
  };
  for (const auto& [args, reason] : cases) {
    std::string shown;
    for (const std::string& a : args) shown += a + ' ';
    SCOPED_TRACE(shown);
    ExpectFailure(RunConv(args), reason);
    EXPECT_TRUE(dir.Entries().empty());
  }
}

TEST(Failure, HelpIsUsageNotAnError) {
  for (const char* flag : {"-h", "--help"}) {
    RunResult run = RunConv({flag});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("Usage: conv.exe -i SOURCE"), std::string::npos) << run.output;
  }
}

// Each bad source fails with its path in the last line, and the earlier output under the final
// name survives untouched.
TEST(Failure, BadSourcesLeaveTheEarlierOutputAlone) {
  TempDir in;
  TempDir out;
  std::string good = ReadFile(GoodSource());
  WriteFile(in.Path("empty.avi"), "");
  WriteFile(in.Path("notes.avi"), "These are not pictures.\n");
  std::string noise(64 * 1024, '\0');
  uint32_t state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  WriteFile(in.Path("noise.avi"), noise);
  WriteFile(in.Path("truncated.avi"), good.substr(0, good.size() * 2 / 5));
  std::string damaged = good;
  for (size_t i = damaged.size() / 5; i < damaged.size() * 4 / 5; ++i) damaged[i] = noise[i % noise.size()];
  WriteFile(in.Path("damaged.avi"), damaged);
  // Every picture blanked: the decoder says one thing for each, printed once, then counted.
  std::string blank = good;
  for (size_t at = blank.find("00dc"); at != std::string::npos; at = blank.find("00dc", at + 8)) {
    uint32_t size = 0;
    std::memcpy(&size, &blank[at + 4], sizeof size);
    if (size > 4 && at + 8 + size <= blank.size()) std::fill_n(blank.begin() + at + 12, size - 4, '\0');
  }
  WriteFile(in.Path("blank.avi"), blank);
  WriteFile(in.Path("subtitles.srt"), "1\n00:00:00,000 --> 00:00:01,000\nHello\n");
  ASSERT_TRUE(Ffmpeg({"-i", in.Path("subtitles.srt"), "-c:s", "srt", in.Path("subtitles.mkv")}));
  std::string folder = in.Path("folder.avi");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);

  const std::pair<std::string, const char*> cases[] = {
      {in.Path("missing.avi"), "No such file"},
      {folder, "folder"},
      {in.Path("empty.avi"), "empty"},
      {in.Path("notes.avi"), "not a video or audio file"},
      {in.Path("noise.avi"), "not a video or audio file"},
      {in.Path("truncated.avi"), "truncated"},
      {in.Path("damaged.avi"), "damaged"},
      {in.Path("blank.avi"), "damaged"},
      {in.Path("subtitles.mkv"), "neither video nor audio"},
  };
  WriteFile(out.Path("clip.3gp"), "the earlier result");
  for (const auto& [source, reason] : cases) {
    SCOPED_TRACE(source);
    RunResult run = RunConv(WindowArgs(source, out.Path("clip.3gp")));
    ExpectFailure(run, reason);
    EXPECT_EQ(run.LastLine().rfind("Error: " + source + ": ", 0), 0u) << run.LastLine();
    EXPECT_EQ(ReadFile(out.Path("clip.3gp")), "the earlier result");
    EXPECT_EQ(out.Entries(), std::vector<std::string>{"clip.3gp"});
    if (source == in.Path("blank.avi")) {
      EXPECT_NE(run.output.find("Last message repeated"), std::string::npos);
    }
  }
}

TEST(Failure, UnreadableSource) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  WriteFile(dir.Path("locked.avi"), ReadFile(GoodSource()));
  chmod(dir.Path("locked.avi").c_str(), 0);
  ExpectFailure(RunConv(WindowArgs(dir.Path("locked.avi"), dir.Path("out.3gp"))), "Permission denied");
  EXPECT_FALSE(Exists(dir.Path("out.3gp")));
}

TEST(Failure, NeverWritesOverTheSource) {
  TempDir dir;
  std::string original = ReadFile(GoodSource());
  WriteFile(dir.Path("clip.avi"), original);
  ASSERT_EQ(link(dir.Path("clip.avi").c_str(), dir.Path("alias.3gp").c_str()), 0);
  // The same file by its own name, by another spelling and by a second hard link.
  for (const std::string& output : {dir.Path("clip.avi"), dir.Path("./clip.avi"), dir.Path("alias.3gp")}) {
    SCOPED_TRACE(output);
    ExpectFailure(RunConv(WindowArgs(dir.Path("clip.avi"), output)), "is the source file itself");
    EXPECT_EQ(ReadFile(dir.Path("clip.avi")), original);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"alias.3gp", "clip.avi"}));
  }
}

TEST(Failure, OutputsItMustNotOrCannotWrite) {
  TempDir dir;
  std::string src = GoodSource();
  WriteFile(dir.Path("kept.3gp"), "keep me");
  std::vector<std::string> noOverwrite = WindowArgs(src, dir.Path("kept.3gp"));
  noOverwrite.erase(std::find(noOverwrite.begin(), noOverwrite.end(), "-y"));
  ExpectFailure(RunConv(noOverwrite), "already exists");
  EXPECT_EQ(ReadFile(dir.Path("kept.3gp")), "keep me");

  ExpectFailure(RunConv(WindowArgs(src, dir.Path("no/such/folder/out.3gp"))), "No such file");
  ExpectFailure(RunConv(WindowArgs(src, dir.Path())), "is a folder");
  ExpectFailure(RunConv(WindowArgs(src, "/dev/null")), "not a regular file");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.3gp"});
}

// Long enough that the encoder is still at work when a test acts, however fast the machine.
std::string LongSource() {
  std::vector<std::string> args = TestPicture("640x480", 90);
  for (const std::string& arg : TestTone(90)) args.push_back(arg);
  args.insert(args.end(), {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-shortest"});
  return Clip("long.avi", args);
}

TEST(Failure, SignalMidRunRemovesThePartialFile) {
  std::string source = LongSource();
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    TempDir dir;
    WriteFile(dir.Path("out.3gp"), "the earlier result");
    Child child = StartConv(WindowArgs(source, dir.Path("out.3gp")));
    // The output opens (still without a name) when the encoding starts; freeze the encoder
    // right then, so the signal surely arrives mid-run.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!HoldsFileIn(child.pid, dir.Path()) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child.pid, SIGSTOP);
    ASSERT_TRUE(HoldsFileIn(child.pid, dir.Path()));
    kill(child.pid, sig);
    kill(child.pid, SIGCONT);
    RunResult run = FinishConv(child);
    EXPECT_EQ(run.exitCode, 128 + sig);
    EXPECT_NE(run.LastLine().find("interrupted"), std::string::npos) << run.output;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.3gp"});
    EXPECT_EQ(ReadFile(dir.Path("out.3gp")), "the earlier result");
  }
}

TEST(Failure, AVanishedConsoleReaderStopsTheEncodingButASlowOneDoesNot) {
  TempDir dir;
  WriteFile(dir.Path("out.3gp"), "the earlier result");
  Child child = StartConv(WindowArgs(LongSource(), dir.Path("out.3gp")));
  std::string seen;
  char buffer[100];
  while (seen.size() < 300) {
    ssize_t n = read(child.outputFd, buffer, sizeof buffer);
    ASSERT_GT(n, 0) << seen;
    seen.append(buffer, static_cast<size_t>(n));
  }
  close(child.outputFd);
  child.outputFd = -1;
  const auto closedAt = std::chrono::steady_clock::now();
  RunResult run = FinishConv(child);
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, std::chrono::seconds(2));
  EXPECT_EQ(run.exitCode, 141);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.3gp"});
  EXPECT_EQ(ReadFile(dir.Path("out.3gp")), "the earlier result");

  Child slow = StartConv(WindowArgs(GoodSource(), dir.Path("slow.3gp")));
  for (ssize_t n = 1; n > 0;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    n = read(slow.outputFd, buffer, 16);
  }
  EXPECT_EQ(FinishConv(slow).exitCode, 0);
  EXPECT_TRUE(Probe(dir.Path("slow.3gp")).video);
}

}  // namespace
}  // namespace convtest
