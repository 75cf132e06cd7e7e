#pragma once

#include <string>
#include <vector>

#include "app/platform.h"
#include "app/settings.h"

namespace vintrel {

// Leftovers of an earlier encoder's working files; start-up and shutdown remove them.
struct TemporaryFiles {
  std::string video;  // tmpfile.3gp
  std::string data;   // tmpfile.dat
  bool Empty() const { return video.empty() && data.empty(); }
};
TemporaryFiles TemporaryFilesIn(const std::string& workingFolder);

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kVersionColour{44, 103, 155};

// "Ver 1.2.3"
std::string VersionCaption(int major, int minor, int patch);
// The caption of this build.
std::string VersionCaption();

// The window as start-up sees it: the steps only the window can carry out.
class StartupWindow {
 public:
  virtual ~StartupWindow() = default;
  virtual void ApplyWindowStyle() = 0;
  virtual void SetFromCommandBox(bool value) = 0;
  // Creates the command runner and whatever drives it.
  virtual void CreateRunner() = 0;
  // The four picker indexes of `settings`; its folder is not touched.
  virtual void SelectPickers(const StoredSettings& settings) = 0;
  // The bar, 0 (empty) to 1 (full).
  virtual void SetProgress(double fraction) = 0;
  virtual std::string OutputFolderText() = 0;
  virtual void SetOutputFolderText(const std::string& text) = 0;
  virtual void SetVersionColour(Rgb colour) = 0;
  virtual void SetVersionCaption(const std::string& caption) = 0;
};

// What start-up found. Only a working folder taken by someone else is worth telling the user.
struct StartupOutcome {
  // The working folder exists and only this user can write to it, so its files may be deleted
  // and the command box may live there.
  bool workingFolderUsable = false;
  // Why it is not, when that is something to tell the person (another user owns it).
  std::string workingFolderProblem;
  bool settingsRead = false;
  std::vector<std::string> foldersMissing;  // could not be created
};

// The folders start-up makes sure of, in order. Windows keeps the classic places; POSIX uses
// the per-user working folder and has no counterpart to the system folder.
std::vector<std::string> StartupFolders(const AppPaths& paths, bool windows);

// The load event: every step in its order, each one skipped quietly when it fails.
StartupOutcome Form_Load(const AppPaths& paths, StartupWindow& window);

}  // namespace vintrel
