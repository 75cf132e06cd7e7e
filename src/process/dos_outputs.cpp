#include "process/dos_outputs.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <utility>
#include <vector>

#include "process/child_process.h"
#include "process/waitable_timer.h"

namespace vintrel {
namespace {

// One poll reads at most this many pieces before it lets the owner's events run again.
constexpr int kPollChunkLimit = 64;
// After the child has exited, a grandchild may still be writing: read what is there, but only
// this much, then end.
constexpr int kFinalChunkLimit = 1024;

class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

DOSOutputs::DOSOutputs(EventPump& pump, MessageSink& messages) : pump_(pump), messages_(messages) {
  PrepareForChildProcesses();
}

std::string DOSOutputs::ExecuteCommand(const std::string& dosCommand) {
  if (running_) {
    messages_.Critical("A command is already running");
    return {};
  }
  if (!dosCommand.empty()) commandLine_ = dosCommand;
  lastStatus_ = ExitStatus{};
  if (commandLine_.empty()) {
    messages_.Critical("Command Line empty");
    return {};
  }

  stopRequested_.store(false);
  {
    StartResult start = StartChildProcess(commandLine_);
    if (start.failure == StartResult::Failure::Pipe) {
      messages_.Critical("CreatePipe failed. Error: " + std::to_string(start.errorCode));
      return {};
    }
    if (!start.child) {
      messages_.Critical("File or command not found");
      return {};
    }
    head_.clear();
    tail_.clear();
    skipped_ = 0;
    outputsStale_ = true;
    RunningFlag running(running_);
    lastStatus_ = PollUntilOver(*start.child);
  }  // every handle of the run is released here, before CommandOver

  if (CommandOver) CommandOver();
  return Outputs();
}

const std::string& DOSOutputs::Outputs() const {
  if (!outputsStale_) return outputs_;
  outputsStale_ = false;
  outputs_ = head_;
  std::size_t skipped = skipped_;
  std::string_view tail = tail_;
  if (tail.size() > kKeptBytes) {
    skipped += tail.size() - kKeptBytes;
    tail.remove_prefix(tail.size() - kKeptBytes);
  }
  if (skipped > 0) {
    // On lines of their own, so neither the head's last line nor the tail's first is taken for
    // something it is not.
    const std::size_t lineStart = tail.find('\n');
    if (lineStart != std::string_view::npos) {
      skipped += lineStart + 1;
      tail.remove_prefix(lineStart + 1);
    }
    if (!outputs_.empty() && outputs_.back() != '\n') outputs_ += '\n';
    outputs_ += "[" + std::to_string(skipped) + " bytes of output skipped]\n";
  }
  outputs_ += tail;
  return outputs_;
}

ExitStatus DOSOutputs::PollUntilOver(ChildProcess& child) {
  clsWaitableTimer timer(pump_);
  bool timerFailed = false;
  bool pipeOpen = true;
  bool readFailed = false;
  bool stopSent = false;
  bool forced = false;
  std::chrono::steady_clock::time_point stopSentAt;

  auto actOnStop = [&] {
    if (!stopRequested_.load()) return;
    const auto now = std::chrono::steady_clock::now();
    if (!stopSent) {
      child.Terminate(false);
      stopSent = true;
      stopSentAt = now;
    } else if (!forced && now - stopSentAt >= std::chrono::milliseconds(kStopGraceMs)) {
      child.Terminate(true);
      forced = true;
    }
  };

  for (;;) {
    // Looked at before reading: everything the child wrote before it exited is then already
    // in the pipe, so the reads below deliver it before the run ends.
    const bool exited = child.HasExited();
    bool moreWaiting = false;
    if (pipeOpen)
      pipeOpen = Drain(child, exited ? kFinalChunkLimit : kPollChunkLimit, moreWaiting, readFailed);
    if (exited) return readFailed ? ExitStatus{ExitStatus::Kind::OutputLost, 0, 0} : child.Status();
    // Nobody reads the pipe any more: a talkative child would block on it for ever.
    if (readFailed) stopRequested_.store(true);

    actOnStop();
    pump_.DispatchPending();
    actOnStop();
    // A full poll means more is waiting: read on at once rather than throttle a talkative child.
    if (!moreWaiting) {
      Pause(timer, timerFailed, child.WakeHandles(pipeOpen));
      actOnStop();
    }
  }
}

// Returns whether the pipe can still deliver; sets limitReached when it stopped at the limit,
// failed when a read failed.
bool DOSOutputs::Drain(ChildProcess& child, int chunkLimit, bool& limitReached, bool& failed) {
  char buffer[kChunkBytes];
  for (int i = 0; i < chunkLimit; ++i) {
    const ChildProcess::ReadResult read = child.ReadWaiting(buffer, sizeof buffer);
    switch (read.state) {
      case ChildProcess::ReadState::Data:
        Deliver(std::string(buffer, read.count));
        break;
      case ChildProcess::ReadState::Empty:
        return true;
      case ChildProcess::ReadState::Closed:
        return false;
      case ChildProcess::ReadState::Failed:
        Deliver(std::string());
        failed = true;
        return false;
    }
  }
  limitReached = true;
  return true;
}

void DOSOutputs::Deliver(std::string chunk) {
  std::string_view rest = chunk;
  if (head_.size() < kKeptBytes) {
    const std::size_t take = std::min(rest.size(), kKeptBytes - head_.size());
    head_.append(rest.substr(0, take));
    rest.remove_prefix(take);
  }
  tail_.append(rest);
  if (tail_.size() > 2 * kKeptBytes) {
    const std::size_t drop = tail_.size() - kKeptBytes;
    skipped_ += drop;
    tail_.erase(0, drop);
  }
  outputsStale_ = true;
  if (ReceiveOutputs) ReceiveOutputs(chunk);
}

// The pause ends early when output arrives or the child exits, so a file's end is seen at once
// rather than up to a poll later. A broken timer is reported once; the run then goes on with
// plain waits so the child is still read to its end and reaped.
void DOSOutputs::Pause(clsWaitableTimer& timer, bool& timerFailed, const std::vector<WakeHandle>& wake) {
  if (!timerFailed) {
    const std::string failure = timer.Wait(kPollIntervalMs, wake);
    if (failure.empty()) return;
    timerFailed = true;
    messages_.Critical(failure);
  }
  WaitForWake(wake, kPollIntervalMs);
}

}  // namespace vintrel
