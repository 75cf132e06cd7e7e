#pragma once

#include <functional>
#include <string>

#include "app/startup.h"

namespace vintrel {

// How often the unload tries to delete a temporary file another program holds open, and how
// long it waits between tries. Bounded: a locked file must not keep the program alive.
inline constexpr int kUnloadDeleteTries = 10;
inline constexpr int kUnloadRetryPauseMs = 20;

// Deletes the file (or link, or empty folder) when it is there; an absent file is not touched.
// Tries at most `tries` times, running `between` after each failed try but the last. Returns
// whether the file is gone.
bool RemoveWithRetries(const std::string& file, int tries, const std::function<void()>& between);

// One try at deleting the entry itself: a link, never what it points to. On Windows only through
// a handle whose final path still lies in the folder the name says, so a folder swapped for a
// junction after start-up's checks deletes nothing elsewhere.
void RemoveEntry(const std::string& file);

// The unload's clean-up: tmpfile.dat, then tmpfile.3gp. Returns whether both are gone.
bool DeleteTemporaryFiles(const TemporaryFiles& files, int tries = kUnloadDeleteTries,
                          const std::function<void()>& between = {});

// On POSIX, a request to end the program from outside (SIGTERM, SIGHUP, SIGINT) is an unload
// too: the handler deletes the files, then ends the process as the signal would have. Later
// calls replace the files. Does nothing on Windows, where closing the window is the only way.
void CleanUpOnTermination(const TemporaryFiles& files);

}  // namespace vintrel
