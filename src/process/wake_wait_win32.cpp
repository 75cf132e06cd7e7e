#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "process/event_pump.h"

namespace vintrel {

bool WaitForWake(std::span<const WakeHandle> wake, int milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  std::vector<HANDLE> handles;
  for (WakeHandle handle : wake) handles.push_back(reinterpret_cast<HANDLE>(handle));
  if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return false;
  }
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                              static_cast<DWORD>(milliseconds));
  if (result < WAIT_OBJECT_0 + handles.size()) return true;
  if (result == WAIT_FAILED) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return false;
}

}  // namespace vintrel
