#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <atomic>

#include "process/child_groups.h"

namespace vintrel {
namespace {

// Slots a signal handler can read without a lock; 0 is free. As many as --jobs may ask for.
constexpr int kGroupSlots = 1024;
std::atomic<pid_t> gGroups[kGroupSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free);

// Starts under way on some thread.
std::atomic<int> gStarting{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

StartingChild::StartingChild() {
  gStarting.fetch_add(1);
  sigset_t held;
  sigemptyset(&held);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT}) sigaddset(&held, signal);
  held_ = pthread_sigmask(SIG_BLOCK, &held, &previous_) == 0;
}

StartingChild::~StartingChild() {
  gStarting.fetch_sub(1);
  if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void RegisterChildGroup(pid_t pid) {
  for (std::atomic<pid_t>& slot : gGroups) {
    pid_t free = 0;
    if (slot.compare_exchange_strong(free, pid)) return;
  }
}

void UnregisterChildGroup(pid_t pid) {
  for (std::atomic<pid_t>& slot : gGroups) {
    pid_t owned = pid;
    if (slot.compare_exchange_strong(owned, 0)) return;
  }
}

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

}  // namespace vintrel
