#pragma once

#include <string>
#include <string_view>

#include "engine/path_style.h"

namespace vintrel {

// The five texts read from the window (or the CLI's options) for every file.
struct ConversionSettings {
  std::string VideoBitrate;  // "40" .. "512", without the k
  std::string FrameRate;     // "14.985" ..
  std::string FrameSize;     // "176x144" ..
  std::string AudioBitrate;  // "5.15k" .. (keeps its own k)
  std::string OutputFolder;  // as typed, not trimmed
};

// File-name part of a path: the text after the last separator. Never touches the disk.
std::string FileNameFromPath(std::string_view path, PathStyle style = NativePathStyle());
// File name cut before its first dot ("holiday.part1.avi" gives "holiday").
std::string BaseNameFromPath(std::string_view path, PathStyle style = NativePathStyle());

// The output folder with its final separator added when missing (also when empty).
std::string OutputFolderWithSeparator(std::string_view folder, PathStyle style = NativePathStyle());
// Output folder + base name of the source + ".3gp".
std::string OutputPathFor(const ConversionSettings& settings, std::string_view sourcePath,
                          PathStyle style = NativePathStyle());
// Application folder + "data" + "conv.exe".
std::string EncoderPath(std::string_view applicationFolder, PathStyle style = NativePathStyle());

// The one encoder command line for one source file. Has no side effects and cannot fail.
std::string BuildCommandLine(const ConversionSettings& settings, std::string_view sourcePath,
                             std::string_view applicationFolder, PathStyle style = NativePathStyle());
// Same line, but writing to an output path the caller has already chosen.
std::string BuildCommandLineTo(const ConversionSettings& settings, std::string_view sourcePath,
                               std::string_view outputPath, std::string_view applicationFolder,
                               PathStyle style = NativePathStyle());

}  // namespace vintrel
