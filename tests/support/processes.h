// Programs run as a test's children, and a look at running processes through /proc (Linux),
// for tests that act while the encoder works.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vintrel::testing_support {

namespace fs = std::filesystem;

struct RunOptions {
  fs::path cwd;                  // empty: the test's own
  int timeoutSeconds = 120;      // then the whole process group is killed
  rlim_t stackBytes = 0;         // 0: unchanged
  rlim_t fileSizeBytes = 0;      // 0: unchanged
  std::vector<std::string> env;  // NAME=VALUE added to the environment
  // The program sees a file system like vfat: no unnamed temporary files, and, when
  // `noPermissions`, no permission bits either.
  bool vfatLike = false;
  bool noPermissions = false;
  // stdout and stderr as one pipe, as the window reads the encoder (Started::outputFd; Finish
  // reads what is left into RunResult::out) instead of two files.
  bool joinedPipe = false;
  // A terminal's slave end: the program runs as the only one on it, in a session of its own,
  // with it as stdin, stdout and stderr. The caller keeps the master end close-on-exec.
  int terminal = -1;
};

inline RunOptions Within(int timeoutSeconds, fs::path cwd = {}) {
  RunOptions options;
  options.timeoutSeconds = timeoutSeconds;
  options.cwd = std::move(cwd);
  return options;
}

struct RunResult {
  int exitCode = -1;  // when it exited
  int signal = 0;     // when a signal ended it
  bool timedOut = false;
  std::string out;
  std::string err;
  long peakRssKb = 0;

  bool Crashed() const { return signal != 0 || timedOut; }
};

// A program started in the background; Finish waits for it (killing it after the timeout).
struct Started {
  pid_t pid = -1;
  std::string outFile, errFile;
  int outputFd = -1;  // the joined pipe's read end; a test that closes it sets it to -1
  int timeoutSeconds = 0;
};
// The one way tests start a program: no shell, stdin from /dev/null (unless on a terminal), in a
// process group of its own. pid stays -1 when it could not be started.
Started StartProgram(const std::vector<std::string>& argv, const RunOptions& options = {});
RunResult Finish(Started& started);
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Processes whose parent is `parent` and whose command name is `name` (any name when empty).
std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name);
// The process's state letter from /proc ('R', 'S', 'T', 'Z'...), or 0 when it is gone.
char ProcessState(pid_t pid);
// Whether the process has neither ended nor been left a zombie.
inline bool StillRunning(pid_t pid) {
  const char state = ProcessState(pid);
  return state != 0 && state != 'Z' && state != 'X';
}
// Whether the process holds a file in the folder open (also one without a name yet).
bool HoldsFileIn(pid_t pid, const std::filesystem::path& folder);

}  // namespace vintrel::testing_support
