#pragma once

// One started child process and the read end of its output pipe; the platform half of
// DOSOutputs. Not for use outside src/process.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "process/command_runner.h"
#include "process/event_pump.h"

namespace vintrel {

class ChildProcess {
 public:
  enum class ReadState { Data, Empty, Closed, Failed };
  struct ReadResult {
    ReadState state;
    std::size_t count;  // bytes read when Data
  };

  // Releases every handle. A child still running is ended first (politely, then by force) and
  // reaped, so an interrupted run leaves no orphan writing into a pipe nobody reads.
  virtual ~ChildProcess() = default;

  // Reads at most `capacity` bytes if some are waiting; never blocks.
  virtual ReadResult ReadWaiting(char* buffer, std::size_t capacity) = 0;
  // Whether the child itself has exited (reaping it); never blocks.
  virtual bool HasExited() = 0;
  // Valid once HasExited() returned true.
  virtual ExitStatus Status() const = 0;
  // Asks the child to end; `force` ends it without letting it clean up.
  virtual void Terminate(bool force) = 0;
  // What becomes ready when the child exits, and, while `pipeOpen`, when output is waiting: the
  // pause between polls ends on them. A pipe at its end stays ready, so it is left out then.
  virtual std::vector<WakeHandle> WakeHandles(bool pipeOpen) const = 0;
};

struct StartResult {
  enum class Failure { None, Pipe, NotFound };
  std::unique_ptr<ChildProcess> child;  // null when the start failed
  Failure failure = Failure::None;
  unsigned long errorCode = 0;  // the system's code for a Pipe failure
};

// Starts the command line hidden, without a shell, with standard output and standard error
// joined to one pipe and standard input empty.
StartResult StartChildProcess(const std::string& commandLine);

// Process-wide preparation, once: on POSIX a reader that loses its child must not be killed by
// SIGPIPE (the disposition is changed only while it is still the default).
void PrepareForChildProcesses();

}  // namespace vintrel
