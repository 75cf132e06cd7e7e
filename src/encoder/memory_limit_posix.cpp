#include <pthread.h>
#include <sys/resource.h>

#include "platform.h"

namespace conv::platform {

void LimitMemory(std::size_t bytes) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's shadow memory alone is far beyond any such limit.
  (void)bytes;
#else
  // Thread stacks count as data: FFmpeg's threads get smaller ones than the 8 MB default.
  pthread_attr_t attr;
  if (pthread_getattr_default_np(&attr) == 0) {
    if (pthread_attr_setstacksize(&attr, 2 << 20) == 0) (void)pthread_setattr_default_np(&attr);
    pthread_attr_destroy(&attr);
  }
  rlimit limit{};
  if (getrlimit(RLIMIT_DATA, &limit) != 0 || limit.rlim_cur <= bytes) return;
  limit.rlim_cur = bytes;
  // A backstop only: where it cannot be set, the other bounds still hold.
  (void)setrlimit(RLIMIT_DATA, &limit);
#endif
}

}  // namespace conv::platform
