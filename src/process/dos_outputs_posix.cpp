#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// Slots a signal handler can read without a lock; 0 is free. As many as --jobs may ask for.
constexpr int kGroupSlots = 1024;
std::atomic<pid_t> gGroups[kGroupSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free);

void RegisterGroup(pid_t pid) {
  for (std::atomic<pid_t>& slot : gGroups) {
    pid_t free = 0;
    if (slot.compare_exchange_strong(free, pid)) return;
  }
}

void UnregisterGroup(pid_t pid) {
  for (std::atomic<pid_t>& slot : gGroups) {
    pid_t owned = pid;
    if (slot.compare_exchange_strong(owned, 0)) return;
  }
}

// Starts under way on some thread. A handler waits for them to end, so no child escapes
// between its start and its registration.
std::atomic<int> gStarting{0};
static_assert(std::atomic<int>::is_always_lock_free);

// While a child starts, the signals that end or pause the owner are held on the starting thread
// (a handler running there would wait for itself) and the start is counted.
class StartingChild {
 public:
  StartingChild() {
    gStarting.fetch_add(1);
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT}) sigaddset(&held, signal);
    held_ = pthread_sigmask(SIG_BLOCK, &held, &previous_) == 0;
  }
  ~StartingChild() {
    gStarting.fetch_sub(1);
    if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  StartingChild(const StartingChild&) = delete;
  StartingChild& operator=(const StartingChild&) = delete;

 private:
  sigset_t previous_;
  bool held_ = false;
};

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
    UnregisterGroup(pid_);
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
    UnregisterGroup(pid_);
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

void SignalChildGroups(int signal) noexcept {
  // A start takes microseconds; a bound keeps a broken one from holding the handler.
  for (int i = 0; i < 1000 && gStarting.load() > 0; ++i) {
    const timespec pause{0, 100000L};
    nanosleep(&pause, nullptr);
  }
  for (std::atomic<pid_t>& slot : gGroups) {
    if (const pid_t pid = slot.load(); pid > 0) kill(-pid, signal);
  }
}

void AwaitChildGroups(int milliseconds) noexcept {
  constexpr int kStepMs = 5;
  for (int waited = 0; waited < milliseconds; waited += kStepMs) {
    bool running = false;
    for (std::atomic<pid_t>& slot : gGroups) {
      const pid_t pid = slot.load();
      // Reaped here, or already by its runner (ECHILD): either way it has ended.
      if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) running = true;
    }
    if (!running) return;
    const timespec step{0, kStepMs * 1000000L};
    nanosleep(&step, nullptr);
  }
  SignalChildGroups(SIGKILL);
}

int RunsTheDescriptorsAllow() {
  // Each running child holds its pipe's read end and its pidfd, and a starting one the write
  // end for a moment; a few are left for the files the owner opens itself.
  constexpr long kPerRun = 3;
  constexpr long kSpare = 8;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kGroupSlots;
  long open = 0;
  for (int fd = 0; fd < 1024 && fd < static_cast<long>(limit.rlim_cur); ++fd) {
    if (fcntl(fd, F_GETFD) >= 0) ++open;
  }
  const long allowed = (static_cast<long>(limit.rlim_cur) - open - kSpare) / kPerRun;
  return static_cast<int>(std::clamp<long>(allowed, 1, kGroupSlots));
}

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
  RegisterGroup(pid);
  writeEnd.Reset();  // only the child holds the write end now, so its exit ends the stream
  result.child = std::make_unique<PosixChild>(pid, readEnd.Release());
  return result;
}

}  // namespace vintrel
