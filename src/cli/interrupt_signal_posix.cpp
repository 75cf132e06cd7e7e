#include <csignal>

#include "cli/interrupt_signal.h"

namespace vintrel::cli {
namespace {

volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnSignal(int signal) {
  if (gSignal != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gSignal = signal;
}

void Install(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
  // The terminal closed: end like Ctrl+C, rather than die and leave the encoder running alone.
  std::signal(SIGHUP, handler);
}

}  // namespace

void WatchInterrupts() {
  gSignal = 0;
  Install(OnSignal);
}

void StopWatchingInterrupts() {
  Install(SIG_DFL);
}

int InterruptSignal() {
  return gSignal;
}

}  // namespace vintrel::cli
