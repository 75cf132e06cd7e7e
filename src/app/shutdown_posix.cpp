#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "app/shutdown.h"
#include "base/utf8_path.h"

namespace vintrel {

void RemoveEntry(const std::string& file) {
  std::error_code error;
  std::filesystem::remove(PathFromUtf8(file), error);
}

namespace {

// The handler may only touch what is ready beforehand and call async-signal-safe functions.
char gData[PATH_MAX];
char gVideo[PATH_MAX];
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void RemoveFromHandler(const char* file) {
  if (file[0] == '\0') return;
  for (int attempt = 1; attempt <= kUnloadDeleteTries; ++attempt) {
    if (::unlink(file) == 0 || errno == ENOENT) return;
    if (errno == EISDIR || errno == EPERM) {
      if (::rmdir(file) == 0 || errno == ENOENT) return;
    }
    const timespec pause{0, kUnloadRetryPauseMs * 1000000L};
    ::nanosleep(&pause, nullptr);
  }
}

void OnTermination(int signal) {
  const int savedErrno = errno;
  RemoveFromHandler(gData);
  RemoveFromHandler(gVideo);
  errno = savedErrno;
  // End the way the signal would have ended the program.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

bool CopyPath(char* target, const std::string& file) {
  if (file.size() >= PATH_MAX) {
    target[0] = '\0';
    return false;
  }
  std::memcpy(target, file.c_str(), file.size() + 1);
  return true;
}

}  // namespace

void CleanUpOnTermination(const TemporaryFiles& files) {
  sigset_t block, previous;
  sigemptyset(&block);
  for (int signal : kSignals) sigaddset(&block, signal);
  // No handler may see half-copied paths.
  pthread_sigmask(SIG_BLOCK, &block, &previous);
  CopyPath(gData, files.data);
  CopyPath(gVideo, files.video);
  struct sigaction action {};
  action.sa_handler = OnTermination;
  action.sa_mask = block;
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace vintrel
