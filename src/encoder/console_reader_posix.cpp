#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform.h"

namespace conv::platform {

bool ReaderGone(int error) {
  return error == EPIPE;
}

bool ConsoleReaderGone() {
  pollfd console[2] = {{STDOUT_FILENO, 0, 0}, {STDERR_FILENO, 0, 0}};
  if (poll(console, 2, 0) <= 0) return false;
  // A pipe whose reader has closed it reports an error on its write end.
  return (console[0].revents & POLLERR) != 0 || (console[1].revents & POLLERR) != 0;
}

}  // namespace conv::platform
