#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <initializer_list>

#include "cli/interrupt_signal.h"
#include "process/child_groups.h"

namespace vintrel::cli {
namespace {

// Read by the worker threads of a parallel batch as well as written by the handler.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// How long the encoders get to remove their unfinished files before they are killed.
constexpr int kEncoderGraceMs = 1000;

extern "C" void OnSignal(int signal) {
  int none = 0;
  if (gSignal.compare_exchange_strong(none, signal)) return;  // the batch stops its encoders itself
  // Asked again: end now, but take the encoders along; in groups of their own, nothing else
  // would reach them.
  SignalChildGroups(SIGTERM);
  SignalChildGroups(SIGCONT);
  AwaitChildGroups(kEncoderGraceMs);
  _exit(128 + gSignal.load());
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  // One handler at a time: a third signal must not cut a second one short.
  for (int held : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT}) sigaddset(&action.sa_mask, held);
  (void)sigaction(signal, &action, nullptr);
}

extern "C" void OnContinue(int) {
  const int saved = errno;
  SignalChildGroups(SIGCONT);
  errno = saved;
}

// Ctrl+Z: the encoders stop with the batch and go on with it.
extern "C" void OnTerminalStop(int) {
  const int saved = errno;
  SignalChildGroups(SIGSTOP);
  Handle(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  (void)pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  (void)raise(SIGTSTP);  // the process stops here until SIGCONT
  Handle(SIGTSTP, OnTerminalStop);
  SignalChildGroups(SIGCONT);
  errno = saved;
}

void Install(void (*handler)(int), void (*stop)(int), void (*resume)(int)) {
  Handle(SIGINT, handler);
  Handle(SIGTERM, handler);
  // The terminal closed: end like Ctrl+C, rather than die and leave the encoder running alone.
  Handle(SIGHUP, handler);
  Handle(SIGTSTP, stop);
  Handle(SIGCONT, resume);
}

}  // namespace

void WatchInterrupts() {
  gSignal.store(0);
  Install(OnSignal, OnTerminalStop, OnContinue);
}

void StopWatchingInterrupts() {
  Install(SIG_DFL, SIG_DFL, SIG_DFL);
}

int InterruptSignal() {
  return gSignal.load();
}

}  // namespace vintrel::cli
