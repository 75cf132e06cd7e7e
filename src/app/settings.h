#pragma once

#include <string>
#include <string_view>

#include "app/pickers.h"

namespace vintrel {

// What setup.ini keeps: the pickers' indexes and the output folder text.
struct StoredSettings {
  PickerValues<int> pickers = kDefaultIndexes;
  std::string outputFolder;  // empty: the caller fills in the default folder

  int VideoBitrate() const { return pickers[Picker::VideoBitrate]; }
  int FrameSize() const { return pickers[Picker::FrameSize]; }
  int FrameRate() const { return pickers[Picker::FrameRate]; }
  int AudioBitrate() const { return pickers[Picker::AudioBitrate]; }
  bool operator==(const StoredSettings&) const = default;
};

// Applies the fields of a setup.ini text on top of `settings`; unusable fields leave defaults.
void ParseSettings(std::string_view text, StoredSettings& settings);
// One quoted CR LF line per picker, then the folder's. A folder holding a double quote is written unquoted
// when it reads back whole that way, else as an empty field.
std::string SerializeSettings(const StoredSettings& settings);
// Whether the folder text survives a save and a load unchanged.
bool FolderFitsSettingsFile(std::string_view folder);

// Reads the file if it exists; never fails loudly. Returns whether a file was read.
bool LoadSettings(const std::string& file, StoredSettings& settings);
// Writes through a temporary file in the same folder renamed over the old one, so a failed
// save keeps the previous file. Creates a missing folder; leaves a read-only file alone.
// Returns false on any failure, also when the folder text could not be stored faithfully.
bool SaveSettings(const std::string& file, const StoredSettings& settings);

}  // namespace vintrel
