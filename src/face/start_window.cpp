#include "face/start_window.h"

#include "app/shutdown.h"

namespace vintrel::face {

int StartWindow(StartupHooks& hooks, const std::vector<std::string>& files) {
  const AppPaths paths = ResolveAppPaths(ApplicationFolder());
  const HandOffResult handed = hooks.HandToRunningWindow(paths, files);
  if (handed.outcome == HandOff::Taken) return 0;
  if (handed.outcome == HandOff::Failed) return 1;

  Presenter* presenter = hooks.Load(paths);
  if (presenter == nullptr) return 1;
  // Two launches at once: the one that got the channel first is the window.
  if (hooks.OpenLaunchChannel() == LaunchChannel::AnotherWindow) {
    const HandOffResult late = hooks.HandToRunningWindow(paths, files);
    if (late.outcome == HandOff::Taken) return 0;
    if (late.outcome == HandOff::Failed) return 1;
  }
  CleanUpOnTermination(presenter->TemporaryFilesToDelete());
  hooks.Show();
  hooks.OpenCommandBox();
  // The route of a later launch's files, without bringing forward a window just shown.
  presenter->TakeLaunch(files);
  return hooks.Run();
}

}  // namespace vintrel::face
