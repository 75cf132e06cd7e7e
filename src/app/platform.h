#pragma once

#include <string>

namespace vintrel {

// Where things live. Windows keeps the classic layout; POSIX maps it onto per-user places.
struct AppPaths {
  std::string applicationFolder;  // holds the executable; no trailing separator
  std::string workingFolder;      // "c:\tmp" on Windows, a per-user folder in the temp dir on POSIX
  std::string settingsFile;       // setup.ini: beside the program when writable, else per-user
  std::string defaultOutputFolder;
  std::string encoderPath;        // applicationFolder/data/conv.exe
  std::string soundFile;          // applicationFolder/sound.wav
};

// The folder that holds the running executable.
std::string ApplicationFolder();
// Whether a file can be created in the folder (tries it).
bool IsFolderWritable(const std::string& folder);
// Resolves every place for an application folder, reading the environment for per-user places.
AppPaths ResolveAppPaths(const std::string& applicationFolder);
// Joins with the native separator, adding one only when needed.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace vintrel
