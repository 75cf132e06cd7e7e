// A child process for the runner's tests. Its arguments are a little script, run in order:
//   print TEXT | line TEXT | err TEXT   write TEXT (line: plus "\n"; err: to stderr, plus "\n")
//   burst N        write N pattern bytes in one write
//   flood N        write N pattern bytes in 4096-byte writes
//   sleep MS       sleep
//   exit CODE      exit with CODE
//   signal N       die by signal N (on Windows: abort)
//   abort          abort()
//   args ...       print every remaining argument as "[arg]" and stop reading the script
//   pid            print "pid N\n"
//   grandchild MS  start a copy of itself that sleeps MS and prints "late"; print "grandchild N\n"
//   ignore-term    ignore SIGTERM (POSIX)
//   sigpipe        print "SIGPIPE default" or "SIGPIPE ignored" (POSIX)
//   stdin          read standard input to its end; print "stdin N bytes" or "stdin error"
//   fds            print the open descriptors below 256 (POSIX), e.g. "fds 0 1 2"
//   close-output   close standard output and standard error
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "test_child_pattern.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// Needs windows.h first.
#include <shellapi.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void SleepMs(long ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

#ifdef _WIN32
std::string ToUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
  return result;
}

// The arguments as the user typed them, whatever the ANSI code page is.
std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

long StartGrandchild(long ms) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" sleep " + std::to_wstring(ms) + L" line late";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  // No console of its own: it writes only through the inherited pipe.
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(process.dwProcessId);
}
#else
long StartGrandchild(long ms) {
  const pid_t pid = fork();
  if (pid == 0) {
    SleepMs(ms);
    Write(stdout, "late\n");
    _exit(0);
  }
  return static_cast<long>(pid);
}
#endif

int Run(const std::vector<std::string>& script) {
  for (std::size_t i = 1; i < script.size(); ++i) {
    const std::string& command = script[i];
    const std::string value = i + 1 < script.size() ? script[i + 1] : std::string();
    const long number = std::strtol(value.c_str(), nullptr, 10);
    if (command == "print") {
      Write(stdout, value), ++i;
    } else if (command == "line") {
      Write(stdout, value + "\n"), ++i;
    } else if (command == "err") {
      Write(stderr, value + "\n"), ++i;
    } else if (command == "burst") {
      Write(stdout, TestPattern(static_cast<std::size_t>(number))), ++i;
    } else if (command == "flood") {
      const std::string all = TestPattern(static_cast<std::size_t>(number));
      for (std::size_t at = 0; at < all.size(); at += 4096) Write(stdout, all.substr(at, 4096));
      ++i;
    } else if (command == "sleep") {
      SleepMs(number), ++i;
    } else if (command == "exit") {
      return static_cast<int>(number);
    } else if (command == "signal") {
#ifdef _WIN32
      std::abort();
#else
      std::raise(static_cast<int>(number));
      SleepMs(1000);
      return 98;
#endif
    } else if (command == "abort") {
      std::abort();
    } else if (command == "args") {
      for (++i; i < script.size(); ++i) Write(stdout, "[" + script[i] + "]");
    } else if (command == "pid") {
#ifdef _WIN32
      Write(stdout, "pid " + std::to_string(GetCurrentProcessId()) + "\n");
#else
      Write(stdout, "pid " + std::to_string(getpid()) + "\n");
#endif
    } else if (command == "grandchild") {
      Write(stdout, "grandchild " + std::to_string(StartGrandchild(number)) + "\n"), ++i;
    } else if (command == "ignore-term") {
      std::signal(SIGTERM, SIG_IGN);
    } else if (command == "sigpipe") {
#ifndef _WIN32
      struct sigaction current {};
      sigaction(SIGPIPE, nullptr, &current);
      Write(stdout, current.sa_handler == SIG_IGN ? "SIGPIPE ignored\n" : "SIGPIPE default\n");
#endif
    } else if (command == "stdin") {
      char buffer[256];
      std::size_t total = 0;
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) total += n;
      Write(stdout, std::ferror(stdin) ? "stdin error\n" : "stdin " + std::to_string(total) + " bytes\n");
    } else if (command == "fds") {
#ifndef _WIN32
      std::string list = "fds";
      for (int fd = 0; fd < 256; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) list += " " + std::to_string(fd);
      }
      Write(stdout, list + "\n");
#endif
    } else if (command == "close-output") {
      std::fclose(stdout);
      std::fclose(stderr);
    } else {
      Write(stderr, "test child: unknown command " + command + "\n");
      return 99;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  (void)argc, (void)argv;
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return Run(Arguments());
#else
  return Run(std::vector<std::string>(argv, argv + argc));
#endif
}
