#pragma once

#include <functional>
#include <string>

namespace vintrel {

// How a run ended.
struct ExitStatus {
  // OutputLost: the child's output could not be read, so it was stopped.
  enum class Kind { NotStarted, Exited, Signaled, OutputLost };
  Kind kind = Kind::NotStarted;
  int code = 0;    // exit code when Exited
  int signal = 0;  // signal number when Signaled (POSIX)

  bool Succeeded() const { return kind == Kind::Exited && code == 0; }
  std::string Describe() const;  // "exit code 3", "killed by signal 9 (Killed)"
};

// The runner as the batch controller sees it; DOSOutputs is the real one, tests use fakes.
class CommandRunner {
 public:
  virtual ~CommandRunner() = default;

  virtual void SetCommandLine(std::string commandLine) = 0;
  virtual const std::string& CommandLine() const = 0;
  virtual const std::string& Outputs() const = 0;
  // Synchronous: returns when the run is over, after CommandOver. Returns Outputs, or an
  // empty text when the run did not start (a message was shown and no event was raised).
  virtual std::string ExecuteCommand(const std::string& dosCommand = {}) = 0;
  // Status of the last run that started; NotStarted when the last call failed to start.
  virtual ExitStatus LastExitStatus() const = 0;
  // Ends the running child, if any; the run then ends as usual with CommandOver.
  virtual void Stop() = 0;

  // Raised on the calling thread: once per piece read from the child's output (at most 1024
  // bytes), and once at the end of every started run. CommandOver may start a nested run.
  std::function<void(const std::string& commandOutputs)> ReceiveOutputs;
  std::function<void()> CommandOver;
};

}  // namespace vintrel
