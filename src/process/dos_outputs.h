#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "process/command_runner.h"
#include "process/event_pump.h"

namespace vintrel {

class ChildProcess;
class clsWaitableTimer;

// Runs one console command line as a hidden child process: no shell, standard output and error
// through one pipe, standard input empty. ExecuteCommand is synchronous but keeps its owner
// live: between polls it dispatches pending events and pauses through the pump, at most 50 ms
// and no longer than until output arrives or the child exits. Every
// poll reads all that is waiting, one ReceiveOutputs per piece of at most 1024 bytes. The run
// is over when the child it started has exited and its pipe is drained; output written just
// before the exit still arrives before CommandOver. A grandchild that keeps the pipe open does
// not hold the run. Events are raised on the calling thread; a CommandOver handler may start
// the next run. A call made while a run is in progress (from an output handler or the pump) is
// refused with a message. Outputs keeps the first and the last kKeptBytes of a run, with a line
// saying how much lay between them: a child that prints without end cannot exhaust memory.
class DOSOutputs : public CommandRunner {
 public:
  DOSOutputs(EventPump& pump, MessageSink& messages);
  DOSOutputs(const DOSOutputs&) = delete;
  DOSOutputs& operator=(const DOSOutputs&) = delete;

  void SetCommandLine(std::string commandLine) override { commandLine_ = std::move(commandLine); }
  const std::string& CommandLine() const override { return commandLine_; }
  const std::string& Outputs() const override;
  std::string ExecuteCommand(const std::string& dosCommand = {}) override;
  ExitStatus LastExitStatus() const override { return lastStatus_; }
  // Safe from any thread and from a signal handler: it only raises a flag that the running
  // poll loop acts on (asking the child to end, then forcing it after a grace period).
  void Stop() override { stopRequested_.store(true); }

  static constexpr int kPollIntervalMs = 50;
  static constexpr std::size_t kChunkBytes = 1024;
  // How long a stopped child may take to clean up before it is ended by force.
  static constexpr int kStopGraceMs = 3000;
  // Each of the head and the tail of a run's output that Outputs keeps.
  static constexpr std::size_t kKeptBytes = 256 * 1024;

 private:
  ExitStatus PollUntilOver(ChildProcess& child);
  bool Drain(ChildProcess& child, int chunkLimit, bool& limitReached, bool& failed);
  void Deliver(std::string chunk);
  void Pause(clsWaitableTimer& timer, bool& timerFailed, const std::vector<WakeHandle>& wake);

  EventPump& pump_;
  MessageSink& messages_;
  std::string commandLine_;
  std::string head_;
  std::string tail_;  // up to twice kKeptBytes, trimmed in steps so each byte moves once
  std::size_t skipped_ = 0;
  mutable std::string outputs_;
  mutable bool outputsStale_ = false;
  ExitStatus lastStatus_;
  bool running_ = false;
  std::atomic<bool> stopRequested_{false};
};

}  // namespace vintrel
