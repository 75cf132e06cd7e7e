#include "processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "temp_folder.h"

namespace vintrel::testing_support {
namespace {

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& outFile, const std::string& errFile) {
  setpgid(0, 0);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(125);
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(125);
  if (options.stackBytes != 0) {
    rlimit limit{options.stackBytes, options.stackBytes};
    if (setrlimit(RLIMIT_STACK, &limit) != 0) _exit(125);
  }
  for (const std::string& entry : options.env) putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

Started StartProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  static int serial = 0;
  const fs::path logs = fs::temp_directory_path();
  const std::string tag = "vintrel-run-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  Started started;
  started.outFile = (logs / (tag + ".out")).string();
  started.errFile = (logs / (tag + ".err")).string();
  started.timeoutSeconds = options.timeoutSeconds;
  started.pid = fork();
  if (started.pid == 0) ExecChild(argv, options, started.outFile, started.errFile);
  return started;
}

RunResult Finish(Started& started) {
  RunResult result;
  if (started.pid < 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(started.timeoutSeconds);
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(started.pid, &status, WNOHANG, &usage);
    if (done == started.pid) break;
    if (done < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(-started.pid, SIGKILL);
      kill(started.pid, SIGKILL);
      wait4(started.pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  started.pid = -1;
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.peakRssKb = usage.ru_maxrss;
  result.out = ReadFile(started.outFile);
  result.err = ReadFile(started.errFile);
  std::error_code ignored;
  fs::remove(started.outFile, ignored);
  fs::remove(started.errFile, ignored);
  return result;
}

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  Started started = StartProgram(argv, options);
  return Finish(started);
}

std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name) {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // "pid (comm) state ppid ...": the name may hold blanks, so read from the last ')'.
    const std::string stat = ReadFile(entry.path() / "stat");
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size()) continue;
    if (!name.empty() && stat.substr(open + 1, close - open - 1) != name) continue;
    if (std::atoi(stat.c_str() + close + 4) == parent) found.push_back(std::atoi(pid.c_str()));
  }
  return found;
}

bool HoldsFileIn(pid_t pid, const fs::path& folder) {
  std::error_code error;
  const std::string prefix = folder.string() + "/";
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code unreadable;
    if (fs::read_symlink(fd.path(), unreadable).string().starts_with(prefix)) return true;
  }
  return false;
}

}  // namespace vintrel::testing_support
