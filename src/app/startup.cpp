#include "app/startup.h"

#include "app/shutdown.h"
#include "base/file_system.h"
#include "vintrel_version.h"

namespace vintrel {
namespace {

constexpr bool kWindows = NativePathStyle() == PathStyle::Windows;

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
  std::vector<std::string> folders{
      paths.workingFolder, paths.defaultOutputFolder,
      JoinPath(paths.applicationFolder, "data", windows ? PathStyle::Windows : PathStyle::Posix)};
  // Kept for compatibility: the classic start-up also makes sure of the system folder.
  if (windows) folders.push_back("c:\\windows");
  return folders;
}

StartupOutcome Form_Load(const AppPaths& paths, StartupWindow& window) {
  StartupOutcome outcome;
  window.ApplyWindowStyle();

  for (const std::string& folder : StartupFolders(paths, kWindows)) {
    // The working folder holds files that get deleted and the command box's socket: it must be
    // this user's alone, or neither happens there.
    // A folder that cannot be made stays absent; the later steps cope with that.
    const bool made = folder == paths.workingFolder ? CreatePrivateFolder(folder)
                                                    : !folder.empty() && CreateFolders(folder).empty();
    if (folder == paths.workingFolder) {
      outcome.workingFolderUsable = made;
      if (!made) outcome.workingFolderProblem = PrivateFolderProblem(folder);
    }
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
  window.SetProgress(0);

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
