#include "app/platform.h"

namespace vintrel {
namespace {

bool IsAbsolutePosix(const std::string& path) {
  return !path.empty() && path.front() == '/';
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

AppPaths ResolveAppPathsFrom(const std::string& applicationFolder, const PlatformFacts& facts) {
  const PathStyle style = facts.windows ? PathStyle::Windows : PathStyle::Posix;
  const auto join = [style](const std::string& folder, const std::string& name) {
    return JoinPath(folder, name, style);
  };

  AppPaths paths;
  paths.applicationFolder = applicationFolder;
  paths.encoderPath = join(join(applicationFolder, "data"), "conv.exe");
  paths.soundFile = join(applicationFolder, "sound.wav");
  paths.settingsFile = join(applicationFolder, "setup.ini");
  paths.defaultOutputFolder = join(applicationFolder, "output");

  if (facts.windows) {
    paths.workingFolder = "c:\\tmp";
    if (!facts.applicationFolderWritable) {
      if (!facts.configHome.empty())
        paths.settingsFile = join(join(facts.configHome, "Vintrel"), "setup.ini");
      if (!facts.home.empty()) paths.defaultOutputFolder = join(join(facts.home, "Videos"), "Vintrel");
    }
    return paths;
  }

  // XDG asks to ignore a relative XDG_CONFIG_HOME.
  const std::string tempDir = IsAbsolutePosix(facts.tempDir) ? WithoutTrailingSlashes(facts.tempDir) : "/tmp";
  // The runtime folder is the user's own from the start: nobody can take the name before us.
  paths.workingFolder = IsAbsolutePosix(facts.runtimeDir)
                            ? join(WithoutTrailingSlashes(facts.runtimeDir), "vintrel")
                            : join(tempDir, "vintrel-" + facts.userId);
  if (!facts.applicationFolderWritable) {
    std::string configHome = IsAbsolutePosix(facts.configHome) ? facts.configHome : "";
    if (configHome.empty() && IsAbsolutePosix(facts.home)) configHome = join(facts.home, ".config");
    if (!configHome.empty()) paths.settingsFile = join(join(configHome, "vintrel"), "setup.ini");
    if (IsAbsolutePosix(facts.home)) paths.defaultOutputFolder = join(join(facts.home, "Videos"), "Vintrel");
  }
  return paths;
}

}  // namespace vintrel
