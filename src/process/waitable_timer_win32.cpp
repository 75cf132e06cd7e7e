#include <windows.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "process/waitable_timer.h"

namespace vintrel {
namespace {

constexpr auto kPrefix = "[clsWaitableTimer.Wait]";
// How long past its due time a wait may go on before the timer is no longer trusted.
constexpr std::chrono::milliseconds kGrace{250};

std::string Failure(const char* step) {
  return std::string(kPrefix) + step + " failed. Error: " + std::to_string(GetLastError());
}

class TimerHandle {
 public:
  TimerHandle() : handle_(CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}
  ~TimerHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

// An unnamed timer per wait: a named one is shared by every wait that happens to get the same
// name, and re-arming it from a nested wait ends the outer wait before its time.
std::string clsWaitableTimer::Wait(int MilliSeconds, std::span<const WakeHandle> wake) {
  const int milliseconds = MilliSeconds > 0 ? MilliSeconds : 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  TimerHandle timer;
  if (timer.Get() == nullptr) return Failure("CreateWaitableTimer");
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<std::int64_t>(milliseconds) * 10000;  // relative, 100 ns units
  if (!SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE)) return Failure("SetWaitableTimer");

  // The timer first: its index 0 is how the wait tells a full pause from an early wake.
  std::vector<HANDLE> handles{timer.Get()};
  for (WakeHandle handle : wake) handles.push_back(reinterpret_cast<HANDLE>(handle));
  if (handles.size() > MAXIMUM_WAIT_OBJECTS) handles.resize(MAXIMUM_WAIT_OBJECTS);
  const DWORD count = static_cast<DWORD>(handles.size());
  for (;;) {
    // Bounded by the deadline, so a timer that never fires cannot keep us here.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline + kGrace -
                                                                            std::chrono::steady_clock::now());
    const DWORD timeout = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
    const DWORD result = MsgWaitForMultipleObjects(count, handles.data(), FALSE, timeout, QS_ALLINPUT);
    if (result == WAIT_FAILED) return Failure("MsgWaitForMultipleObjects");
    try {
      pump_.DispatchPending();
    } catch (const std::exception& error) {
      // A face's handler broke the seam's rule; pass it on as the wait's own failure.
      return std::string(kPrefix) + error.what();
    }
    if (result < WAIT_OBJECT_0 + count || result == WAIT_TIMEOUT) return {};
    // Mark what the pump left in the queue as seen; otherwise it would wake us again at once.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace vintrel
