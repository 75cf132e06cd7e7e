#pragma once

#include <string>
#include <vector>

#include "app/launch_client.h"
#include "app/platform.h"
#include "face/presenter.h"

namespace vintrel::face {

enum class LaunchChannel {
  Open,           // later launches reach this window
  AnotherWindow,  // a window of this user got there first
  Unavailable,    // nobody's: the face has said why
};

// What start-up asks of a window's main(): the toolkit's half of each step.
class StartupHooks {
 public:
  virtual ~StartupHooks() = default;
  // Hands `files` to the window of this user that runs, if any. A failure is told by the face.
  virtual HandOffResult HandToRunningWindow(const AppPaths& paths, const std::vector<std::string>& files) = 0;
  // Creates the window and its presenter over `paths` and loads it (Form_Load); null when the
  // window could not be made (the face has said so).
  virtual Presenter* Load(AppPaths paths) = 0;
  // Lets later launches of the program hand their files to this window.
  virtual LaunchChannel OpenLaunchChannel() = 0;
  virtual void Show() = 0;
  // Lets other programs of this user set the command box; a failure is the face's to tell.
  virtual void OpenCommandBox() = 0;
  // The event loop, until the program ends; the exit status.
  virtual int Run() = 0;
};

// The program's start, the same for both windows: the places, a running window takes the files
// and this launch ends, or this launch loads its window, opens the ways in, shows itself and
// takes the files named on its command line (absolute already) as a launch's. The exit status.
int StartWindow(StartupHooks& hooks, const std::vector<std::string>& files);

}  // namespace vintrel::face
