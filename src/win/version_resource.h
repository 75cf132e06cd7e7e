#pragma once

#include <optional>

struct FileVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;
};

// The file version of this program's own VERSIONINFO resource.
std::optional<FileVersion> OwnFileVersion();
