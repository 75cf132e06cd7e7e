#pragma once

#include <string>
#include <string_view>

#include "app/settings.h"
#include "base/path_style.h"

namespace vintrel {

// The texts read from the window (or the CLI's options) for every file.
struct ConversionSettings {
  // The chosen items as shown: a video bitrate without its k, an audio bitrate with its own.
  PickerValues<std::string> pickers;
  std::string OutputFolder;  // as typed, not trimmed

  const std::string& VideoBitrate() const { return pickers[Picker::VideoBitrate]; }
  const std::string& FrameSize() const { return pickers[Picker::FrameSize]; }
  const std::string& FrameRate() const { return pickers[Picker::FrameRate]; }
  const std::string& AudioBitrate() const { return pickers[Picker::AudioBitrate]; }
  bool operator==(const ConversionSettings&) const = default;
};

// The texts a stored choice stands for: picker items by index (an index out of range gives the
// picker's default) and the folder as it is.
ConversionSettings ConversionSettingsFor(const StoredSettings& stored);

// File-name part of a path: the text after the last separator. Never touches the disk.
std::string FileNameFromPath(std::string_view path, PathStyle style = NativePathStyle());
// File name cut before its first dot ("holiday.part1.avi" gives "holiday").
// Kept for compatibility: not at the last dot; a batch numbers the names that then meet.
std::string BaseNameFromPath(std::string_view path, PathStyle style = NativePathStyle());

// The output folder with its final separator added when missing.
// Kept for compatibility: also when empty, so an empty folder text writes at the root.
std::string OutputFolderWithSeparator(std::string_view folder, PathStyle style = NativePathStyle());
// Output folder + base name of the source + ".3gp".
std::string OutputPathFor(const ConversionSettings& settings, std::string_view sourcePath,
                          PathStyle style = NativePathStyle());

// The one encoder command line for one source file, writing to the output path the caller has
// chosen (OutputPathFor, or a numbered name beside it). Has no side effects and cannot fail.
std::string BuildCommandLine(const ConversionSettings& settings, std::string_view sourcePath,
                             std::string_view outputPath, std::string_view encoderPath);

}  // namespace vintrel
