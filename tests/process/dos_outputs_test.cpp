#include "process/dos_outputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "temp_folder.h"
#include "test_child_pattern.h"
#include "test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vintrel {
namespace {

using testing::ChildCommand;
using testing::CountingPump;
using testing::RecordingSink;

// A runner with an event log: "out:<chunk>" per ReceiveOutputs, "over" per CommandOver.
struct DOSOutputsTest : ::testing::Test {
  DOSOutputsTest() {
    runner.ReceiveOutputs = [this](const std::string& chunk) {
      log.push_back("out:" + chunk);
      chunks.push_back(chunk);
      chunkAtWait.push_back(pump.waits + pump.dispatches);
    };
    runner.CommandOver = [this] { log.push_back("over"); };
  }
  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }

  CountingPump pump;
  RecordingSink sink;
  DOSOutputs runner{pump, sink};
  std::vector<std::string> log;
  std::vector<std::string> chunks;
  std::vector<int> chunkAtWait;
};

#ifdef _WIN32
constexpr int kStoppedCode = static_cast<int>(0xC000013A);
bool ProcessAlive(long pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return false;
  const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}
void EndProcess(long pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  if (process != nullptr) TerminateProcess(process, 1), CloseHandle(process);
}
long OpenHandles() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return static_cast<long>(count);
}
#else
bool ProcessAlive(long pid) {
  return kill(static_cast<pid_t>(pid), 0) == 0;
}
void EndProcess(long pid) {
  kill(static_cast<pid_t>(pid), SIGKILL);
}
long OpenHandles() {
  long count = 0;
  for (int fd = 0; fd < 4096; ++fd) count += fcntl(fd, F_GETFD) != -1;
  return count;
}
#endif

long NumberAfter(const std::string& text, const std::string& marker) {
  const auto at = text.find(marker);
  return at == std::string::npos ? -1 : std::stol(text.substr(at + marker.size()));
}

TEST_F(DOSOutputsTest, StartFailuresShowTheirMessageAndRaiseNoEvent) {
  ASSERT_EQ(runner.ExecuteCommand(ChildCommand("print kept")), "kept");
  log.clear();

  runner.SetCommandLine("");
  EXPECT_EQ(runner.ExecuteCommand(), "");
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Command Line empty"});

  const std::string folder = std::filesystem::temp_directory_path().string();
  for (const std::string& command :
       {"\"" + testing::TestChildPath() + "-missing\" \"a b\"",
        std::string("\"/no/such/folder/conv.exe\" -i x"), std::string("vintrel-no-such-program-anywhere x"),
        std::string("   "), std::string("\"\" x"), "\"" + folder + "\""}) {
    sink.messages.clear();
    EXPECT_EQ(runner.ExecuteCommand(command), "") << command;
    EXPECT_EQ(sink.messages, std::vector<std::string>{"File or command not found"}) << command;
    EXPECT_EQ(runner.CommandLine(), command);
    EXPECT_EQ(runner.LastExitStatus().kind, ExitStatus::Kind::NotStarted);
    EXPECT_EQ(runner.LastExitStatus().Describe(), "not started");
  }
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(runner.Outputs(), "kept");
}

TEST_F(DOSOutputsTest, OutputOfBothStreamsArrivesAndCommandLineStays) {
  const std::string command = ChildCommand("print out err problem stdin");
  EXPECT_EQ(runner.ExecuteCommand(command), runner.Outputs());
  EXPECT_EQ(runner.CommandLine(), command);
  EXPECT_NE(runner.Outputs().find("out"), std::string::npos);
  EXPECT_NE(runner.Outputs().find("problem\n"), std::string::npos);
  EXPECT_NE(runner.Outputs().find("stdin 0 bytes\n"), std::string::npos);  // empty, not inherited
  EXPECT_EQ(log.back(), "over");
  EXPECT_EQ(Count("over"), 1);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(DOSOutputsTest, ArgumentsAreSplitByQuotesAndBackslashes) {
  runner.ExecuteCommand(ChildCommand(R"(args "a b" c\"d "" "x\\\"y" tab	sep "ü 测试")"));
  EXPECT_EQ(runner.Outputs(), "[a b][c\"d][][x\\\"y][tab][sep][\xC3\xBC \xE6\xB5\x8B\xE8\xAF\x95]");
}

TEST_F(DOSOutputsTest, ProgramInAUnicodeFolderWithBlanksRuns) {
  const testing_support::TempFolder folder(
      "vintrel runner \xC3\xBCn\xC3\xAF \xE6\xB5\x8B\xE8\xAF\x95 \xCE\xA9");
  const std::filesystem::path original = PathFromUtf8(testing::TestChildPath());
  const std::string child = folder.Utf8(Utf8FromPath(original.filename()));
  std::filesystem::copy_file(original, PathFromUtf8(child));
  const std::string command = "\"" + child + "\" print ok";

  EXPECT_EQ(runner.ExecuteCommand(command), "ok");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(DOSOutputsTest, BurstArrivesInPiecesOfAtMost1024BytesWithoutThrottling) {
  runner.ExecuteCommand(ChildCommand("burst 5000 sleep 200"));
  EXPECT_EQ(runner.Outputs(), TestPattern(5000));
  std::string joined;
  for (const std::string& chunk : chunks) {
    EXPECT_LE(chunk.size(), DOSOutputs::kChunkBytes);
    joined += chunk;
  }
  EXPECT_EQ(joined, runner.Outputs());
  ASSERT_GE(chunks.size(), 5u);
  // Several pieces were read in the same poll: the reader drains what is waiting.
  const std::set<int> polls(chunkAtWait.begin(), chunkAtWait.end());
  EXPECT_LT(polls.size(), chunks.size());
}

TEST_F(DOSOutputsTest, TalkativeChildIsReadAtFullSpeedWhileThePumpStillRuns) {
  runner.ExecuteCommand(ChildCommand("flood 400000"));
  ASSERT_EQ(runner.Outputs().size(), 400000u);
  EXPECT_EQ(runner.Outputs(), TestPattern(400000));
  EXPECT_LE(std::max_element(chunks.begin(), chunks.end(),
                             [](const auto& a, const auto& b) { return a.size() < b.size(); })
                ->size(),
            DOSOutputs::kChunkBytes);
  // One 50 ms pause per piece would be about 400 pauses.
  EXPECT_LT(pump.waits, static_cast<int>(chunks.size()) / 4);
  EXPECT_GE(pump.dispatches, 1);
}

TEST_F(DOSOutputsTest, AChildThatPrintsWithoutEndKeepsOnlyItsHeadAndTail) {
  constexpr std::size_t kTotal = 3'000'000;
  runner.ExecuteCommand(ChildCommand("flood 3000000"));
  const std::string& kept = runner.Outputs();
  const std::string all = TestPattern(kTotal);
  ASSERT_LE(kept.size(), 2 * DOSOutputs::kKeptBytes + 100);
  EXPECT_EQ(kept.substr(0, DOSOutputs::kKeptBytes), all.substr(0, DOSOutputs::kKeptBytes));
  const std::size_t marker = kept.find(" bytes of output skipped]\n");
  ASSERT_NE(marker, std::string::npos);
  const std::string tail = kept.substr(marker + 26);
  EXPECT_EQ(tail, all.substr(kTotal - tail.size()));
  const std::size_t open = kept.rfind('[', marker);
  EXPECT_EQ(std::stoul(kept.substr(open + 1, marker - open - 1)),
            kTotal - DOSOutputs::kKeptBytes - tail.size());
  // Every byte still reached the handler.
  std::size_t delivered = 0;
  for (const std::string& chunk : chunks) delivered += chunk.size();
  EXPECT_EQ(delivered, kTotal);
}

TEST_F(DOSOutputsTest, OutputWrittenJustBeforeExitArrivesBeforeCommandOver) {
  runner.ExecuteCommand(ChildCommand("sleep 150 print tail exit 4"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "out:tail");
  EXPECT_EQ(log.back(), "over");
  EXPECT_EQ(runner.LastExitStatus().code, 4);

  log.clear();
  runner.ExecuteCommand(ChildCommand("burst 3000"));
  EXPECT_EQ(runner.Outputs(), TestPattern(3000));
  EXPECT_EQ(log.back(), "over");
}

TEST_F(DOSOutputsTest, ExitStatusTellsSuccessFromFailure) {
  runner.ExecuteCommand(ChildCommand("exit 0"));
  EXPECT_TRUE(runner.LastExitStatus().Succeeded());
  EXPECT_EQ(runner.LastExitStatus().Describe(), "exit code 0");

  runner.ExecuteCommand(ChildCommand("print x exit 3"));
  EXPECT_FALSE(runner.LastExitStatus().Succeeded());
  EXPECT_EQ(runner.LastExitStatus().kind, ExitStatus::Kind::Exited);
  EXPECT_EQ(runner.LastExitStatus().Describe(), "exit code 3");

#ifdef _WIN32
  runner.ExecuteCommand(ChildCommand("abort"));
  EXPECT_EQ(runner.LastExitStatus().Describe(), "exit code 3");
#else
  runner.ExecuteCommand(ChildCommand("signal 9"));
  EXPECT_EQ(runner.LastExitStatus().kind, ExitStatus::Kind::Signaled);
  EXPECT_EQ(runner.LastExitStatus().signal, 9);
  EXPECT_EQ(runner.LastExitStatus().Describe(), "killed by signal 9 (Killed)");
  EXPECT_EQ((ExitStatus{ExitStatus::Kind::Signaled, 0, 77}).Describe(), "killed by signal 77");
#endif
  EXPECT_FALSE(runner.LastExitStatus().Succeeded());
  EXPECT_EQ(Count("over"), 3);
}

TEST_F(DOSOutputsTest, CommandOverMayStartTheNextRun) {
  const std::string second = ChildCommand("print second exit 2");
  ExitStatus firstStatus;
  int overs = 0;
  runner.CommandOver = [&] {
    log.push_back("over");
    if (++overs == 1) {
      firstStatus = runner.LastExitStatus();
      EXPECT_EQ(runner.Outputs(), "first");
      EXPECT_EQ(runner.ExecuteCommand(second), "second");
    }
  };
  EXPECT_EQ(runner.ExecuteCommand(ChildCommand("print first exit 1")), "second");
  EXPECT_EQ(log, (std::vector<std::string>{"out:first", "over", "out:second", "over"}));
  EXPECT_EQ(firstStatus.code, 1);
  EXPECT_EQ(runner.LastExitStatus().code, 2);
  EXPECT_EQ(runner.CommandLine(), second);
}

TEST_F(DOSOutputsTest, RunStartedWhileAnotherIsInProgressIsRefused) {
  const std::string command = ChildCommand("line one sleep 100 line two");
  std::string nested = "not called";
  runner.ReceiveOutputs = [&](const std::string& chunk) {
    if (chunk.find("one") != std::string::npos) nested = runner.ExecuteCommand(ChildCommand("print other"));
  };
  EXPECT_EQ(runner.ExecuteCommand(command), "one\ntwo\n");
  EXPECT_EQ(nested, "");
  EXPECT_EQ(sink.messages, std::vector<std::string>{"A command is already running"});
  EXPECT_EQ(runner.CommandLine(), command);
  EXPECT_TRUE(runner.LastExitStatus().Succeeded());
}

void ExpectStopped(const ExitStatus& status) {
#ifdef _WIN32
  EXPECT_EQ(status.kind, ExitStatus::Kind::Exited);
  EXPECT_EQ(status.code, kStoppedCode);
  EXPECT_EQ(status.Describe(), "exit code 0xC000013A");
#else
  EXPECT_EQ(status.kind, ExitStatus::Kind::Signaled);
  EXPECT_EQ(status.signal, SIGTERM);
  EXPECT_EQ(status.Describe(), "killed by signal 15 (Terminated)");
#endif
}

TEST_F(DOSOutputsTest, StopFromAnOutputHandlerOrThePumpEndsTheRunWithCommandOver) {
  runner.ReceiveOutputs = [&](const std::string& chunk) {
    log.push_back("out:" + chunk);
    if (chunk.find("ready") != std::string::npos) runner.Stop();
  };
  runner.ExecuteCommand(ChildCommand("line ready sleep 30000 line finished"));
  EXPECT_EQ(runner.Outputs(), "ready\n");
  EXPECT_EQ(log.back(), "over");
  ExpectStopped(runner.LastExitStatus());

  // As the CLI does when its pump notices Ctrl+C.
  log.clear();
  int pumpCalls = 0;
  auto stopOnThirdCall = [&] {
    if (++pumpCalls == 3) runner.Stop();
  };
  pump.onWait = stopOnThirdCall;
  pump.onDispatch = stopOnThirdCall;
  runner.ExecuteCommand(ChildCommand("sleep 30000 line finished"));
  EXPECT_EQ(log, std::vector<std::string>{"over"});
  ExpectStopped(runner.LastExitStatus());

  // A stop asked for between runs does not end the next one.
  pump.onWait = nullptr;
  pump.onDispatch = nullptr;
  runner.Stop();
  runner.ExecuteCommand(ChildCommand("sleep 100 print done"));
  EXPECT_EQ(runner.Outputs(), "done");
  EXPECT_TRUE(runner.LastExitStatus().Succeeded());
}

TEST_F(DOSOutputsTest, RunEndsWithOwnChildNotWithThePipe) {
  // A grandchild that keeps the pipe open does not hold the run.
  runner.ExecuteCommand(ChildCommand("grandchild 5000 line done exit 6"));
  const long grandchild = NumberAfter(runner.Outputs(), "grandchild ");
  EXPECT_GT(grandchild, 0);
  EXPECT_NE(runner.Outputs().find("done\n"), std::string::npos);
  EXPECT_EQ(runner.Outputs().find("late"), std::string::npos);
  EXPECT_EQ(runner.LastExitStatus().code, 6);
  if (grandchild > 0) EndProcess(grandchild);

  // A child that closes its output early is still waited for.
  runner.ExecuteCommand(ChildCommand("print early close-output sleep 300 exit 5"));
  EXPECT_EQ(runner.Outputs(), "early");
  EXPECT_EQ(runner.LastExitStatus().code, 5);
}

TEST_F(DOSOutputsTest, EveryHandleIsReleasedBeforeCommandOver) {
  runner.ExecuteCommand(ChildCommand("print warm-up"));
  const long before = OpenHandles();
  long atOver = -1;
  runner.CommandOver = [&] { atOver = OpenHandles(); };
  for (int i = 0; i < 5; ++i) runner.ExecuteCommand(ChildCommand("burst 2000 exit 1"));
  EXPECT_EQ(atOver, before);
  EXPECT_EQ(OpenHandles(), before);
}

TEST_F(DOSOutputsTest, HandlerErrorLeavesNoChildBehind) {
  runner.ReceiveOutputs = [&](const std::string& chunk) {
    chunks.push_back(chunk);
    if (chunk.find("pid ") != std::string::npos) throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(runner.ExecuteCommand(ChildCommand("pid sleep 30000")), std::runtime_error);
  const long pid = NumberAfter(chunks.front(), "pid ");
  ASSERT_GT(pid, 0);
  EXPECT_FALSE(ProcessAlive(pid));
  EXPECT_EQ(log, std::vector<std::string>{});

  runner.ReceiveOutputs = nullptr;
  EXPECT_EQ(runner.ExecuteCommand(ChildCommand("print again")), "again");
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(DOSOutputsTest, PumpRunsDuringTheRunAndTheWaitSleeps) {
  runner.ExecuteCommand(ChildCommand("sleep 400"));
  EXPECT_GE(pump.dispatches, 2);
  // A spinning loop would call the pump thousands of times in 400 ms.
  EXPECT_LE(pump.Calls(), 80);
#ifndef _WIN32
  EXPECT_GE(pump.waits, 2);
  for (int milliseconds : pump.waitMilliseconds) EXPECT_EQ(milliseconds, DOSOutputs::kPollIntervalMs);
#endif
}

#ifndef _WIN32
class BrokenWaitPump : public CountingPump {
 public:
  void WaitDispatching(int) override { throw std::runtime_error("pump broke"); }
};

TEST(DOSOutputsPosix, BrokenWaitIsReportedOnceAndTheRunStillEnds) {
  BrokenWaitPump pump;
  RecordingSink sink;
  DOSOutputs runner(pump, sink);
  int overs = 0;
  runner.CommandOver = [&] { ++overs; };
  EXPECT_EQ(runner.ExecuteCommand(ChildCommand("sleep 300 print end")), "end");
  EXPECT_EQ(sink.messages, std::vector<std::string>{"[clsWaitableTimer.Wait]pump broke"});
  EXPECT_EQ(overs, 1);
}

TEST_F(DOSOutputsTest, PauseEndsAsSoonAsOutputArrivesOrTheChildExits) {
  pump.stretchedWaitMs = 30000;
  runner.ExecuteCommand(ChildCommand("sleep 100 line one sleep 100 line two exit 3"));
  EXPECT_EQ(log, (std::vector<std::string>{"out:one\n", "out:two\n", "over"}));
  EXPECT_EQ(runner.LastExitStatus().code, 3);
  // Neither a closed pipe nor a grandchild holding it open keeps the exit from ending a pause.
  runner.ExecuteCommand(ChildCommand("print early close-output sleep 100 exit 5"));
  EXPECT_EQ(runner.LastExitStatus().code, 5);
  runner.ExecuteCommand(ChildCommand("grandchild 3000 sleep 100 exit 6"));
  EXPECT_EQ(runner.LastExitStatus().code, 6);
  if (const long grandchild = NumberAfter(runner.Outputs(), "grandchild "); grandchild > 0)
    EndProcess(grandchild);
  EXPECT_GE(pump.woken, 5);
  EXPECT_EQ(pump.timedOut, 0);
}

TEST_F(DOSOutputsTest, StopForcesAChildThatIgnoresTheRequest) {
  runner.ReceiveOutputs = [&](const std::string& chunk) {
    if (chunk.find("ready") != std::string::npos) runner.Stop();
  };
  runner.ExecuteCommand(ChildCommand("ignore-term line ready sleep 30000"));
  EXPECT_EQ(runner.LastExitStatus().signal, SIGKILL);
}

TEST_F(DOSOutputsTest, ChildStartsCleanAndTheReaderSurvivesABrokenPipe) {
  const int leaked = open("/dev/null", O_RDONLY);  // deliberately not close-on-exec
  ASSERT_GE(leaked, 0);
  runner.ExecuteCommand(ChildCommand("sigpipe fds"));
  close(leaked);
  EXPECT_EQ(runner.Outputs(), "SIGPIPE default\nfds 0 1 2\n");

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  EXPECT_EQ(write(fds[1], "x", 1), -1);  // EPIPE instead of death
  EXPECT_EQ(errno, EPIPE);
  close(fds[1]);
}

// The runner's read end turned into a folder (reads fail) while the pipe stays open: the child,
// blocked on a full pipe nobody reads, is stopped and the run ends with the reason.
TEST_F(DOSOutputsTest, AFailedReadStopsTheChildAndEndsTheRun) {
  int kept = -1;
  runner.ReceiveOutputs = [&](const std::string& chunk) {
    if (kept >= 0 || chunk.find("ready") == std::string::npos) return;
    char target[64];
    for (int fd = 3; fd < 1024 && kept < 0; ++fd) {
      const std::string link = "/proc/self/fd/" + std::to_string(fd);
      const ssize_t length = readlink(link.c_str(), target, sizeof target);
      if (length < 5 || std::string(target, 5) != "pipe:") continue;
      kept = dup(fd);
      const int folder = open("/", O_RDONLY | O_DIRECTORY);
      dup2(folder, fd);
      close(folder);
    }
  };
  runner.ExecuteCommand(ChildCommand("line ready sleep 100 flood 1000000"));
  close(kept);
  EXPECT_GE(kept, 0);
  EXPECT_EQ(runner.LastExitStatus().kind, ExitStatus::Kind::OutputLost);
  EXPECT_EQ(Count("over"), 1);
}

TEST_F(DOSOutputsTest, PipeFailureReportsTheSystemCode) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers check memory through a pipe of their own, which this test starves";
#endif
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  int highest = 0;
  for (int fd = 0; fd < 4096; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  }
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(highest + 1);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<int> fillers;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);

  const std::string result = runner.ExecuteCommand(ChildCommand("print x"));
  for (int fd : fillers) close(fd);
  setrlimit(RLIMIT_NOFILE, &saved);

  EXPECT_EQ(result, "");
  EXPECT_EQ(sink.messages, std::vector<std::string>{"CreatePipe failed. Error: " + std::to_string(EMFILE)});
  EXPECT_TRUE(log.empty());
}
#endif

}  // namespace
}  // namespace vintrel
