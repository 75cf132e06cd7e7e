#include "app/startup.h"

#include <filesystem>

#include "app/shutdown.h"
#include "app/utf8_path.h"
#include "vintrel_version.h"

namespace vintrel {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

bool IsFolder(const std::string& folder) {
  std::error_code error;
  return std::filesystem::is_directory(PathFromUtf8(folder), error);
}

// A failure leaves the folder absent; the later steps cope with that.
bool CreateFolderQuietly(const std::string& folder) {
  if (folder.empty()) return false;
  try {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
  } catch (...) {
  }
  return IsFolder(folder);
}

}  // namespace

TemporaryFiles TemporaryFilesIn(const std::string& workingFolder) {
  if (workingFolder.empty()) return {};
  return {JoinPath(workingFolder, "tmpfile.3gp"), JoinPath(workingFolder, "tmpfile.dat")};
}

std::string VersionCaption(int major, int minor, int patch) {
  return "Ver " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::string VersionCaption() {
  return VersionCaption(kVersionMajor, kVersionMinor, kVersionPatch);
}

std::vector<std::string> StartupFolders(const AppPaths& paths, bool windows) {
  const char separator = windows ? '\\' : '/';
  std::vector<std::string> folders{paths.workingFolder, paths.defaultOutputFolder,
                                   JoinPathWith(paths.applicationFolder, "data", separator)};
  if (windows) folders.push_back("c:\\windows");
  return folders;
}

StartupOutcome Form_Load(const AppPaths& paths, StartupWindow& window) {
  StartupOutcome outcome;
  window.ApplyWindowStyle();

  for (const std::string& folder : StartupFolders(paths, kWindows)) {
    // The working folder holds files that get deleted and the command box's socket: it must be
    // this user's alone, or neither happens there.
    const bool made =
        folder == paths.workingFolder ? CreatePrivateFolder(folder) : CreateFolderQuietly(folder);
    if (folder == paths.workingFolder) outcome.workingFolderUsable = made;
    if (!made) outcome.foldersMissing.push_back(folder);
  }

  window.SetFromCommandBox(false);
  window.CreateRunner();

  if (outcome.workingFolderUsable) {
    const TemporaryFiles leftovers = TemporaryFilesIn(paths.workingFolder);
    RemoveWithRetries(leftovers.video, 1, {});
    RemoveWithRetries(leftovers.data, 1, {});
  }

  window.SelectPickers(StoredSettings{});
  window.SetProgressBar(0);

  StoredSettings stored;
  outcome.settingsRead = LoadSettings(paths.settingsFile, stored);
  if (outcome.settingsRead) {
    window.SelectPickers(stored);
    window.SetOutputFolderText(stored.outputFolder);
  }

  window.SetVersionColour(kVersionColour);
  if (window.OutputFolderText().empty()) window.SetOutputFolderText(paths.defaultOutputFolder);
  window.SetVersionCaption(VersionCaption());
  return outcome;
}

}  // namespace vintrel
