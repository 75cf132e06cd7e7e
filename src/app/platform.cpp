#include "app/platform.h"

#include <algorithm>
#include <optional>

namespace vintrel {
namespace {

bool IsAbsolutePosix(const std::string& path) {
  return !path.empty() && path.front() == '/';
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// One value of user-dirs.dirs: a double-quoted shell word whose backslash escapes the next
// character; none when the text is not one.
std::optional<std::string> QuotedValue(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') return value;
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    value += text[i];
  }
  return std::nullopt;
}

}  // namespace

std::string VideosFolderFromUserDirs(std::string_view text, const std::string& home) {
  constexpr std::string_view kKey = "XDG_VIDEOS_DIR=";
  std::string found;
  // Sourced by a shell, so the last assignment counts.
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    const auto value = QuotedValue(line.substr(kKey.size()));
    if (!value) continue;
    if (value->rfind("$HOME", 0) == 0 && (value->size() == 5 || (*value)[5] == '/')) {
      if (IsAbsolutePosix(home)) found = WithoutTrailingSlashes(home + value->substr(5));
    } else if (IsAbsolutePosix(*value)) {
      found = WithoutTrailingSlashes(*value);
    }
  }
  return found;
}

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
  paths.addDialogFolder = applicationFolder;

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
  if (facts.applicationFolderWritable) return paths;
  // Installed: nothing is ever written beside the program. Without any home, the private working
  // folder is the only place of this user's own.
  const bool hasHome = IsAbsolutePosix(facts.home);
  const std::string home = hasHome ? WithoutTrailingSlashes(facts.home) : paths.workingFolder;
  std::string configHome = hasHome ? join(home, ".config") : home;
  if (IsAbsolutePosix(facts.configHome)) configHome = facts.configHome;
  paths.settingsFile = join(join(configHome, "vintrel"), "setup.ini");
  const std::string videos =
      IsAbsolutePosix(facts.videosDir) ? WithoutTrailingSlashes(facts.videosDir) : join(home, "Videos");
  paths.defaultOutputFolder = join(videos, "Vintrel");
  paths.addDialogFolder = !facts.folderExists || facts.folderExists(videos) ? videos : home;
  return paths;
}

}  // namespace vintrel
