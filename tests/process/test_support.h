#pragma once

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "process/event_pump.h"

#ifdef _WIN32
#include <windows.h>

#include "base/wide_text_win32.h"
#endif

namespace vintrel::testing {

// The helper program sits beside the test programs.
inline std::string TestChildPath() {
#ifdef _WIN32
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self, length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return Utf8FromWide(folder + L"vintrel_test_child.exe").value_or(std::string());
#else
  return TEST_CHILD_PATH;
#endif
}

inline std::string ChildCommand(const std::string& script) {
  return "\"" + TestChildPath() + "\" " + script;
}

// Counts what the runner asks of its pump; waiting really sleeps. Hooks let a test act from
// inside the pump, as a window's handlers or the CLI's Ctrl+C check would.
class CountingPump : public EventPump {
 public:
  void DispatchPending() override {
    ++dispatches;
    if (onDispatch) onDispatch();
  }
  void WaitDispatching(int milliseconds) override {
    ++waits;
    waitMilliseconds.push_back(milliseconds);
    if (onWait) onWait();
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  // With stretchedWaitMs set, a wait the runner lets end early lasts that long unless one of its
  // wake handles becomes ready: a pause the child does not end counts in `timedOut`.
  void WaitDispatchingOrWake(int milliseconds, std::span<const WakeHandle> wake) override {
    if (stretchedWaitMs == 0) return WaitDispatching(milliseconds);
    ++waits;
    ++(WaitForWake(wake, stretchedWaitMs) ? woken : timedOut);
  }
  // Pump calls of any kind: on Windows the timer dispatches instead of asking for a wait.
  int Calls() const { return dispatches + waits; }

  int stretchedWaitMs = 0;
  int woken = 0;
  int timedOut = 0;
  int dispatches = 0;
  int waits = 0;
  std::vector<int> waitMilliseconds;
  std::function<void()> onDispatch;
  std::function<void()> onWait;
};

class RecordingSink : public MessageSink {
 public:
  void Critical(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

}  // namespace vintrel::testing
