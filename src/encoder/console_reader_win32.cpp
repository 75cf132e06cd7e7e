#include <windows.h>

#include <cerrno>

#include "platform.h"

namespace conv::platform {

bool ReaderGone(int error) {
  const DWORD last = GetLastError();
  // Windows says ERROR_NO_DATA for a pipe whose reader closed it; wine ERROR_PIPE_NOT_CONNECTED.
  return error == EPIPE || last == ERROR_NO_DATA || last == ERROR_BROKEN_PIPE ||
         last == ERROR_PIPE_NOT_CONNECTED;
}

bool ConsoleReaderGone() {
  return false;
}

}  // namespace conv::platform
