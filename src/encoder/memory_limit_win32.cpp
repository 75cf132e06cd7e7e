#include <windows.h>

#include "platform.h"

namespace conv::platform {

void LimitMemory(std::size_t bytes) {
  // A job of our own: jobs nest, so a tighter limit set from outside still holds. Thread stacks
  // are only reserved until used, so unlike on POSIX they need no shrinking.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limits.ProcessMemoryLimit = bytes;
  // A backstop only, as on POSIX; the job lives as long as the process, so its handle is kept.
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess())) {
    (void)CloseHandle(job);
  }
}

}  // namespace conv::platform
