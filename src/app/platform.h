#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/file_system.h"

namespace vintrel {

// Where things live. Windows keeps the classic layout; POSIX maps it onto per-user places.
struct AppPaths {
  std::string applicationFolder;  // holds the executable; no trailing separator
  std::string workingFolder;      // "c:\tmp" on Windows; on POSIX $XDG_RUNTIME_DIR/vintrel, else a
                                  // per-user folder in the temp dir
  std::string settingsFile;       // setup.ini: beside the program when writable, else per-user
  std::string defaultOutputFolder;
  std::string encoderPath;  // applicationFolder/data/conv.exe
  std::string soundFile;    // applicationFolder/sound.wav
  // Where Add's dialog opens: the program's folder when portable; for an installed program the
  // desktop's Videos folder, or the home when that does not exist.
  std::string addDialogFolder;
};

// What the places depend on, gathered from the running system by ResolveAppPaths.
struct PlatformFacts {
  bool windows = false;
  bool applicationFolderWritable = false;
  std::string home;        // POSIX: $HOME when absolute, else the password entry; Windows: %USERPROFILE%
  std::string configHome;  // POSIX: $XDG_CONFIG_HOME; Windows: %APPDATA%
  std::string tempDir;     // POSIX: $TMPDIR
  std::string runtimeDir;  // POSIX: $XDG_RUNTIME_DIR when it is a folder of this user
  std::string userId;      // POSIX: the numeric user id
  std::string videosDir;   // POSIX: $XDG_VIDEOS_DIR, else what user-dirs.dirs names; may be empty
  // Whether a folder exists; without it every folder is taken to exist.
  std::function<bool(const std::string&)> folderExists;
};

// The Videos folder a user-dirs.dirs text names (XDG_VIDEOS_DIR="$HOME/Filme" or an absolute
// path, in the shell quoting that file uses); empty when it names none that is usable.
std::string VideosFolderFromUserDirs(std::string_view text, const std::string& home);

// The folder that holds the running executable.
std::string ApplicationFolder();
// Whether a file can be created in the folder (tries it).
bool IsFolderWritable(const std::string& folder);
// Resolves every place for an application folder, reading the environment for per-user places.
AppPaths ResolveAppPaths(const std::string& applicationFolder);
// The same rules with every fact given, for either platform's conventions.
AppPaths ResolveAppPathsFrom(const std::string& applicationFolder, const PlatformFacts& facts);

// Creates the folder (and its parents) if missing. On POSIX the last folder is made private
// to the user, and an existing one must be a real folder owned by the user that others cannot
// write to, so nobody can plant files or links in it. Returns whether it is fit for use.
// On Windows a folder it creates gets an access list for the user (and the system) alone; an
// existing one must not be a link, must belong to the user (or the administrators or the
// system), and nobody else may write to it.
bool CreatePrivateFolder(const std::string& folder);
// Why the folder is not fit to be private (another user owns it, others may write to it, it is
// no folder), in words for the person; empty when it is fit or the reason is unknown.
std::string PrivateFolderProblem(const std::string& folder);

// Replaces the file's contents all at once: a temporary file in the same folder, flushed to
// disk, then renamed over the old one. Any failure leaves the old file as it was and no
// temporary behind. A read-only file is not replaced.
bool ReplaceFileContents(const std::string& file, std::string_view content);

}  // namespace vintrel
