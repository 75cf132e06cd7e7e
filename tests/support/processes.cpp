#include "processes.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <thread>
#include <utility>

#include "temp_folder.h"

extern char** environ;

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

// The environment with `added` (NAME=VALUE) in place of the entries of the same names.
std::vector<std::string> Environment(const std::vector<std::string>& added) {
  std::vector<std::string> all = added;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('=') + 1);
    if (std::none_of(added.begin(), added.end(), [&](const std::string& a) { return a.starts_with(name); }))
      all.emplace_back(text);
  }
  return all;
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// In the forked child of a test that may run threads: system calls only, everything else was
// made before the fork.
[[noreturn]] void ExecChild(char* const* argv, char* const* envp, const RunOptions& options, int out,
                            int err) {
  if (options.terminal >= 0) {
    if (setsid() < 0 || ioctl(options.terminal, TIOCSCTTY, 0) != 0) _exit(125);
    for (int fd = 0; fd < 3; ++fd) {
      if (dup2(options.terminal, fd) < 0) _exit(125);
    }
    if (options.terminal > 2) close(options.terminal);
  } else {
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(125);
  }
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(125);
  for (auto [resource, bytes] :
       {std::pair{RLIMIT_STACK, options.stackBytes}, {RLIMIT_FSIZE, options.fileSizeBytes}}) {
    rlimit limit{bytes, bytes};
    if (bytes != 0 && setrlimit(resource, &limit) != 0) _exit(125);
  }
  if (options.vfatLike && !PretendVfat(options.noPermissions)) _exit(125);
  execvpe(argv[0], argv, envp);
  _exit(127);
}

void KillGroup(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
}

// Reads the joined pipe to its end, killing the program at the deadline.
void ReadPipe(Started& started, std::chrono::steady_clock::time_point deadline, RunResult& result) {
  char buffer[4096];
  for (;;) {
    pollfd ready{started.outputFd, POLLIN, 0};
    if (poll(&ready, 1, 50) == 0 && !result.timedOut && std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      KillGroup(started.pid);
    }
    if (ready.revents == 0) continue;
    const ssize_t got = read(started.outputFd, buffer, sizeof buffer);
    if (got > 0) {
      result.out.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(started.outputFd);
  started.outputFd = -1;
}

}  // namespace

Started StartProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  Started started;
  started.timeoutSeconds = options.timeoutSeconds;
  int out = -1;
  int err = -1;
  if (options.joinedPipe) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return started;
    started.outputFd = fds[0];
    out = err = fds[1];
  } else if (options.terminal < 0) {
    static int serial = 0;
    const fs::path logs = fs::temp_directory_path();
    const std::string tag = "vintrel-run-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    started.outFile = (logs / (tag + ".out")).string();
    started.errFile = (logs / (tag + ".err")).string();
    out = open(started.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    err = open(started.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  }
  const std::vector<std::string> environment = Environment(options.env);
  const std::vector<char*> args = Pointers(argv);
  const std::vector<char*> envp = Pointers(environment);
  started.pid = fork();
  if (started.pid == 0) ExecChild(args.data(), envp.data(), options, out, err);
  if (out >= 0) close(out);
  if (err >= 0 && err != out) close(err);
  if (started.pid < 0 && started.outputFd >= 0) {
    close(started.outputFd);
    started.outputFd = -1;
  }
  return started;
}

RunResult Finish(Started& started) {
  RunResult result;
  if (started.pid < 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(started.timeoutSeconds);
  // The pipe first: a program writing into a full one would never end.
  if (started.outputFd >= 0) ReadPipe(started, deadline, result);
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(started.pid, &status, WNOHANG, &usage);
    if (done == started.pid) break;
    if (done < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      KillGroup(started.pid);
      wait4(started.pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  started.pid = -1;
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.peakRssKb = usage.ru_maxrss;
  std::error_code ignored;
  for (auto [file, text] : {std::pair{&started.outFile, &result.out}, {&started.errFile, &result.err}}) {
    if (file->empty()) continue;
    *text = ReadFile(*file);
    fs::remove(*file, ignored);
  }
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
