#include "process/command_runner.h"

#include <csignal>
#include <cstdio>

namespace vintrel {
namespace {

// The usual C library wording, spelled out here so every platform reports alike.
const char* SignalName(int signal) {
  struct Entry {
    int number;
    const char* name;
  };
  static const Entry kNames[] = {
#ifdef SIGHUP
      {SIGHUP, "Hangup"},
#endif
      {SIGINT, "Interrupt"},
#ifdef SIGQUIT
      {SIGQUIT, "Quit"},
#endif
      {SIGILL, "Illegal instruction"},
#ifdef SIGTRAP
      {SIGTRAP, "Trace/breakpoint trap"},
#endif
      {SIGABRT, "Aborted"},
#ifdef SIGBUS
      {SIGBUS, "Bus error"},
#endif
      {SIGFPE, "Floating point exception"},
#ifdef SIGKILL
      {SIGKILL, "Killed"},
#endif
#ifdef SIGUSR1
      {SIGUSR1, "User defined signal 1"},
#endif
      {SIGSEGV, "Segmentation fault"},
#ifdef SIGUSR2
      {SIGUSR2, "User defined signal 2"},
#endif
#ifdef SIGPIPE
      {SIGPIPE, "Broken pipe"},
#endif
#ifdef SIGALRM
      {SIGALRM, "Alarm clock"},
#endif
      {SIGTERM, "Terminated"},
#ifdef SIGXCPU
      {SIGXCPU, "CPU time limit exceeded"},
#endif
#ifdef SIGXFSZ
      {SIGXFSZ, "File size limit exceeded"},
#endif
  };
  for (const Entry& entry : kNames) {
    if (entry.number == signal) return entry.name;
  }
  return nullptr;
}

}  // namespace

std::string ExitStatus::Describe() const {
  switch (kind) {
    case Kind::NotStarted:
      return "not started";
    case Kind::Exited:
#ifdef _WIN32
      // Crashes and forced ends report NTSTATUS values, which read best in hexadecimal.
      if (code < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
        return std::string("exit code ") + hex;
      }
#endif
      return "exit code " + std::to_string(code);
    case Kind::Signaled: {
      std::string text = "killed by signal " + std::to_string(signal);
      if (const char* name = SignalName(signal)) text += std::string(" (") + name + ")";
      return text;
    }
    case Kind::OutputLost:
      return "its output could not be read, so it was stopped";
  }
  return "unknown";
}

}  // namespace vintrel
