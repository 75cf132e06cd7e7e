#include "engine/command_line.h"

namespace vintrel {
namespace {

// Only blanks: a picker text is otherwise passed on exactly as chosen.
std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool EndsWithSeparator(std::string_view text, PathStyle style) {
  return !text.empty() && text.back() == Separator(style);
}

}  // namespace

ConversionSettings ConversionSettingsFor(const StoredSettings& stored) {
  ConversionSettings settings;
  for (const PickerRow& row : kPickerRows) {
    settings.pickers[row.picker] = ItemOrDefault(row.picker, stored.pickers[row.picker]);
  }
  settings.OutputFolder = stored.outputFolder;
  return settings;
}

std::string FileNameFromPath(std::string_view path, PathStyle style) {
  const auto cut = path.rfind(Separator(style));
  if (cut == std::string_view::npos) return std::string(path);
  return std::string(path.substr(cut + 1));
}

std::string BaseNameFromPath(std::string_view path, PathStyle style) {
  std::string name = FileNameFromPath(path, style);
  const auto dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string OutputFolderWithSeparator(std::string_view folder, PathStyle style) {
  std::string result(folder);
  if (!EndsWithSeparator(folder, style)) result += Separator(style);
  return result;
}

std::string OutputPathFor(const ConversionSettings& settings, std::string_view sourcePath, PathStyle style) {
  return OutputFolderWithSeparator(settings.OutputFolder, style) + BaseNameFromPath(sourcePath, style) +
         ".3gp";
}

// The encoder's "-y" belongs to no picker; the command line has always carried it after the first.
constexpr std::size_t kOverwriteAfterPickers = 1;

std::string BuildCommandLine(const ConversionSettings& settings, std::string_view sourcePath,
                             std::string_view outputPath, std::string_view encoderPath) {
  // The encoder's own path is quoted too: unquoted, a folder with blanks such as
  // C:\Program Files would let the platform try C:\Program.exe first.
  std::string line;
  line.reserve(160 + encoderPath.size() + sourcePath.size() + outputPath.size());
  line += '"';
  line += encoderPath;
  line += "\" -i \"";
  line += sourcePath;
  line += '"';
  for (std::size_t turn = 0; turn < kCommandOrder.size(); ++turn) {
    const PickerRow& row = Row(kCommandOrder[turn]);
    if (turn == kOverwriteAfterPickers) line += " -y";
    if (!row.fixedBefore.empty()) {
      line += ' ';
      line += row.fixedBefore;
    }
    line += ' ';
    line += row.encoderOption;
    line += ' ';
    line += TrimBlanks(settings.pickers[row.picker]);
    line += row.unit;
  }
  line += " \"";
  line += outputPath;
  line += '"';
  return line;
}

}  // namespace vintrel
