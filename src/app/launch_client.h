#pragma once

// POSIX only, implemented in launch_client_posix.cpp: the Win32 window hands a second launch over
// its own way (win/second_launch.h).

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// How a second launch of the window reaches the first one (POSIX): a local socket beside the
// command box's, in the same per-user working folder. The launch writes one launch message
// (app/launch_message.h); the window answers kLaunchTaken once the files are in its hands.
inline constexpr std::string_view kLaunchSocketName = "launch";
// A window already serving kLaunchConnections launches answers kLaunchBusy instead and closes.
inline constexpr char kLaunchTaken = 'T';
inline constexpr char kLaunchBusy = 'B';
inline constexpr std::string_view kLaunchBusyText = "the Vintrel window is busy";
inline constexpr int kLaunchConnections = 8;
// How long a launch waits for a window that does not answer (stopped, hung). A window in a batch
// still answers: its runner dispatches events between polls. The message carries the end of this
// wait as its deadline; the launch waits for the answer kLaunchAnswerGraceMs longer.
inline constexpr int kLaunchTimeoutMs = 10000;
inline constexpr int kLaunchAnswerGraceMs = 2000;

std::string LaunchSocketPath(const std::string& workingFolder);

enum class HandOff {
  Taken,     // the running window has the files
  NoWindow,  // nobody listens: this launch is the window
  Failed,    // a window is there but did not take them
};

struct HandOffResult {
  HandOff outcome = HandOff::NoWindow;
  std::string problem;  // why, for NoWindow and Failed
};

// Hands `files` (absolute already) to the window of this user that runs, if any.
HandOffResult HandToRunningWindow(const std::string& workingFolder, const std::vector<std::string>& files,
                                  int timeoutMs = kLaunchTimeoutMs);

}  // namespace vintrel
