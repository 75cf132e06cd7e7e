#include "process/waitable_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "test_support.h"

namespace vintrel {
namespace {

using testing::CountingPump;
using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Wakes the wait early with input, as a click on the window would.
void PostInput() {
#ifdef _WIN32
  PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
#endif
}

// What a real pump does on Windows: take the waiting messages off the queue.
void TakeInput() {
#ifdef _WIN32
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
#endif
}

TEST(clsWaitableTimer, WaitLastsItsTimeWhileThePumpIsCalled) {
  CountingPump pump;
  pump.onDispatch = TakeInput;
  clsWaitableTimer timer(pump);
  PostInput();
  const auto start = Clock::now();
  EXPECT_EQ(timer.Wait(200), "");
  EXPECT_GE(MillisecondsSince(start), 180);
  EXPECT_GE(pump.Calls(), 1);
#ifdef _WIN32
  EXPECT_GE(pump.dispatches, 2);  // once for the input, once when the time is up
#endif

  // Twice in a row within the same second, each with its own timer.
  const auto again = Clock::now();
  EXPECT_EQ(timer.Wait(60) + timer.Wait(60), "");
  EXPECT_GE(MillisecondsSince(again), 110);

  const int calls = pump.Calls();
  EXPECT_EQ(timer.Wait(0) + timer.Wait(-5), "");
  EXPECT_GE(pump.Calls(), calls);
}

TEST(clsWaitableTimer, NestedWaitDoesNotCutTheOuterWaitShort) {
  CountingPump pump;
  clsWaitableTimer timer(pump);
  bool nested = false;
  auto startNested = [&] {
    TakeInput();
    if (!nested) {
      nested = true;
      EXPECT_EQ(timer.Wait(20), "");
    }
  };
  pump.onDispatch = startNested;
  pump.onWait = startNested;
  PostInput();
  const auto start = Clock::now();
  EXPECT_EQ(timer.Wait(300), "");
  EXPECT_TRUE(nested);
  EXPECT_GE(MillisecondsSince(start), 280);
}

TEST(clsWaitableTimer, PumpErrorsComeBackWithThePrefix) {
  CountingPump pump;
  pump.onDispatch = [] { throw std::runtime_error("boom"); };
  pump.onWait = [] { throw std::runtime_error("boom"); };
  clsWaitableTimer timer(pump);
  EXPECT_EQ(timer.Wait(10), "[clsWaitableTimer.Wait]boom");
}

#ifdef _WIN32
TEST(clsWaitableTimer, NoTimerHandleIsLeftOpen) {
  CountingPump pump;
  clsWaitableTimer timer(pump);
  DWORD before = 0;
  DWORD after = 0;
  GetProcessHandleCount(GetCurrentProcess(), &before);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(timer.Wait(1), "");
  GetProcessHandleCount(GetCurrentProcess(), &after);
  EXPECT_EQ(after, before);
}
#endif

}  // namespace
}  // namespace vintrel
