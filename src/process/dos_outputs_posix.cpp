#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "process/child_groups.h"
#include "process/child_process.h"
#include "process/command_line_split.h"

extern char** environ;

namespace vintrel {
namespace {

constexpr auto kCleanupGrace = std::chrono::seconds(3);

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Keeps pipe ends off 0, 1 and 2, so the child's own redirections cannot close them early.
bool MoveAboveStandardFds(Fd& fd) {
  if (fd.Get() > STDERR_FILENO) return true;
  const int moved = fcntl(fd.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved < 0) return false;
  fd.Reset(moved);
  return true;
}

// Readable once the process has exited. Without it (kernels before 5.3) the end of a run is
// found by the next poll instead.
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

class PosixChild : public ChildProcess {
 public:
  PosixChild(pid_t pid, int readFd) : pid_(pid), readFd_(readFd), exitFd_(OpenPidFd(pid)) {
    if (exitFd_.Get() >= 0 && !MoveAboveStandardFds(exitFd_)) exitFd_.Reset();
  }

  ~PosixChild() override {
    if (reaped_) return;
    // SIGTERM first: the encoder then removes its unfinished output.
    Terminate(false);
    const auto deadline = std::chrono::steady_clock::now() + kCleanupGrace;
    while (!HasExited() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (reaped_) return;
    Terminate(true);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    UnregisterChildGroup(pid_);
  }

  ReadResult ReadWaiting(char* buffer, std::size_t capacity) override {
    for (;;) {
      const ssize_t n = read(readFd_.Get(), buffer, capacity);
      if (n > 0) return {ReadState::Data, static_cast<std::size_t>(n)};
      if (n == 0) return {ReadState::Closed, 0};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {ReadState::Empty, 0};
      return {ReadState::Failed, 0};
    }
  }

  bool HasExited() override {
    if (reaped_) return true;
    int status = 0;
    pid_t result;
    do {
      result = waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    reaped_ = true;
    UnregisterChildGroup(pid_);
    if (result < 0) {
      // Reaped behind our back (SIGCHLD ignored by the owner): the status is lost.
      status_ = {ExitStatus::Kind::Exited, -1, 0};
    } else if (WIFSIGNALED(status)) {
      status_ = {ExitStatus::Kind::Signaled, 0, WTERMSIG(status)};
    } else {
      status_ = {ExitStatus::Kind::Exited, WEXITSTATUS(status), 0};
    }
    return true;
  }

  ExitStatus Status() const override { return status_; }

  void Terminate(bool force) override {
    if (reaped_) return;
    const int signal = force ? SIGKILL : SIGTERM;
    // The child leads its own process group; helpers it started go with it.
    if (kill(-pid_, signal) < 0) kill(pid_, signal);
  }

  std::vector<WakeHandle> WakeHandles(bool pipeOpen) const override {
    std::vector<WakeHandle> handles;
    if (exitFd_.Get() >= 0) handles.push_back(exitFd_.Get());
    if (pipeOpen) handles.push_back(readFd_.Get());
    return handles;
  }

 private:
  pid_t pid_;
  Fd readFd_;
  Fd exitFd_;
  bool reaped_ = false;
  ExitStatus status_;
};

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool Prepare(int writeFd) {
    sigset_t none;
    sigemptyset(&none);
    // Dispositions the owner set to "ignore" would survive exec; the child starts clean.
    sigset_t defaults;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    bool ok = posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
              posix_spawn_file_actions_adddup2(&actions_, writeFd, STDOUT_FILENO) == 0 &&
              posix_spawn_file_actions_adddup2(&actions_, writeFd, STDERR_FILENO) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the owner forgot to mark close-on-exec must not leak into the encoder.
    ok = ok && posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0;
#endif
    ok = ok && posix_spawnattr_setflags(
                   &attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;
    ok = ok && posix_spawnattr_setpgroup(&attributes_, 0) == 0;
    ok = ok && posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0;
    ok = ok && posix_spawnattr_setsigmask(&attributes_, &none) == 0;
    return ok;
  }

  const posix_spawn_file_actions_t* Actions() const {
    return &actions_;
  }
  const posix_spawnattr_t* Attributes() const {
    return &attributes_;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

void PrepareForChildProcesses() {
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    signal(SIGPIPE, SIG_IGN);
  }
}

StartResult StartChildProcess(const std::string& commandLine) {
  StartResult result;
  const std::vector<std::string> tokens = SplitCommandLine(commandLine);
  if (tokens.empty() || tokens.front().empty()) {
    result.failure = StartResult::Failure::NotFound;
    return result;
  }

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) < 0) {
    result.failure = StartResult::Failure::Pipe;
    result.errorCode = static_cast<unsigned long>(errno);
    return result;
  }
  Fd readEnd(fds[0]);
  Fd writeEnd(fds[1]);
  if (!MoveAboveStandardFds(readEnd) || !MoveAboveStandardFds(writeEnd) ||
      fcntl(readEnd.Get(), F_SETFL, fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK) < 0) {
    result.failure = StartResult::Failure::Pipe;
    result.errorCode = static_cast<unsigned long>(errno);
    return result;
  }
  SpawnSetup setup;
  if (!setup.Prepare(writeEnd.Get())) {
    result.failure = StartResult::Failure::NotFound;
    return result;
  }

  std::vector<char*> argv;
  for (const std::string& token : tokens) argv.push_back(const_cast<char*>(token.c_str()));
  argv.push_back(nullptr);

  // Like exec: a program with a folder part is taken as it is, a bare name is looked up in PATH.
  const bool hasFolder = tokens.front().find('/') != std::string::npos;
  pid_t pid = 0;
  StartingChild starting;
  const int error =
      hasFolder ? posix_spawn(&pid, argv[0], setup.Actions(), setup.Attributes(), argv.data(), environ)
                : posix_spawnp(&pid, argv[0], setup.Actions(), setup.Attributes(), argv.data(), environ);
  if (error != 0) {
    result.failure = StartResult::Failure::NotFound;
    return result;
  }
  RegisterChildGroup(pid);
  writeEnd.Reset();  // only the child holds the write end now, so its exit ends the stream
  result.child = std::make_unique<PosixChild>(pid, readEnd.Release());
  return result;
}

}  // namespace vintrel
