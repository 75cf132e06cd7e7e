#include "processes.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <thread>
#include <utility>

#include "temp_folder.h"

namespace vintrel::testing_support {
namespace {

// Makes the kernel refuse what such a file system cannot do, the way it refuses it there.
bool PretendVfat(bool noPermissions) {
  constexpr unsigned kTmpfile = 020000000;  // __O_TMPFILE
  const sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fchmod, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, noPermissions ? SECCOMP_RET_ERRNO | EPERM : SECCOMP_RET_ALLOW),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kTmpfile, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), const_cast<sock_filter*>(filter)};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& outFile, const std::string& errFile) {
  setpgid(0, 0);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(125);
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(125);
  for (auto [resource, bytes] :
       {std::pair{RLIMIT_STACK, options.stackBytes}, {RLIMIT_FSIZE, options.fileSizeBytes}}) {
    rlimit limit{bytes, bytes};
    if (bytes != 0 && setrlimit(resource, &limit) != 0) _exit(125);
  }
  if (options.vfatLike && !PretendVfat(options.noPermissions)) _exit(125);
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

char ProcessState(pid_t pid) {
  const std::string stat = ReadFile(fs::path("/proc") / std::to_string(pid) / "stat");
  const auto close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
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
