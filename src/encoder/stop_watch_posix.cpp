#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "console.h"
#include "platform.h"
#include "stop_watch.h"

namespace conv::platform {
namespace {

std::mutex gMutex;
// Filled before the stop watcher can need them; changed only under gMutex.
char gArmedPath[4096];
bool gArmed = false;
bool gCommitted = false;
char gLastLine[4352];
size_t gLastLineLength = 0;

// The stop signals are blocked in every thread and taken here, by an ordinary thread: it can
// wait for a naming step to finish and silence the console, so the last line is really last.
[[noreturn]] void AwaitStopRequest(sigset_t signals) {
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  gMutex.lock();  // kept until the end: nothing is named or removed any more
  if (gCommitted) _exit(0);
  if (gArmed) unlink(gArmedPath);
  console::Silence();
  ssize_t ignored = write(STDERR_FILENO, gLastLine, gLastLineLength);
  (void)ignored;
  _exit(128 + signal);
}

}  // namespace

namespace stop_watch {

std::mutex& Guard() {
  return gMutex;
}

void Arm(const NativePath& path) {
  if (path.size() >= sizeof gArmedPath) return;
  std::memcpy(gArmedPath, path.c_str(), path.size() + 1);
  gArmed = true;
}

void Disarm() {
  gArmed = false;
}

void MarkCommitted() {
  gCommitted = true;
  gArmed = false;
}

}  // namespace stop_watch

void HandleStopRequests(const std::string& lastLine) {
  std::snprintf(gLastLine, sizeof gLastLine, "%s\n", lastLine.c_str());
  gLastLineLength = std::strlen(gLastLine);
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ, SIGPIPE}) sigaddset(&signals, signal);
  // Before any other thread exists, so they all inherit the mask. A SIGXFSZ or SIGPIPE raised by
  // a write stays pending on the writing thread, and the write fails with EFBIG or EPIPE; only
  // StopUnheard's SIGPIPE, sent to the process, reaches the waiting thread; an "ignore"
  // inherited from the caller would discard it.
  (void)std::signal(SIGPIPE, SIG_DFL);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
    (void)std::signal(SIGPIPE, SIG_IGN);  // cannot fail for these arguments
    return;
  }
  std::thread(AwaitStopRequest, signals).detach();
}

void StopUnheard() {
  (void)kill(getpid(), SIGPIPE);
}

}  // namespace conv::platform
