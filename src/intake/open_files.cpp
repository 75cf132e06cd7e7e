#include "intake/open_files.h"

#include <filesystem>

#include "base/utf8_path.h"

namespace vintrel {
namespace {

std::string_view TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view EffectiveFilter(std::string_view filter) {
  return TrimSpaces(filter).empty() ? kDefaultFilter : filter;
}

std::vector<std::string> SplitAtBars(std::string_view filter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const auto bar = filter.find('|', start);
    pieces.emplace_back(filter.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) return pieces;
    start = bar + 1;
  }
}

}  // namespace

std::string BothCasePatterns(std::string_view pattern) {
  std::string lower(pattern);
  std::string upper(pattern);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return lower == upper ? lower : lower + " " + upper;
}

std::string ConvertFilter(std::string_view filter) {
  std::string converted;
  for (const auto& piece : SplitAtBars(EffectiveFilter(filter))) {
    converted += piece;
    converted += '\0';
  }
  return converted;
}

std::vector<FilterPair> SplitFilter(std::string_view filter) {
  const auto pieces = SplitAtBars(EffectiveFilter(filter));
  std::vector<FilterPair> pairs;
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) pairs.push_back({pieces[i], pieces[i + 1]});
  return pairs;
}

std::string ResolveStartFolder(std::string_view given, std::string_view programFolder,
                               const std::function<bool(const std::string&)>& folderHasEntries,
                               char separator) {
  const std::string_view trimmed = TrimSpaces(given);
  if (trimmed.empty()) return std::string(programFolder);
  std::string folder(trimmed);
  if (folder.back() != separator) folder += separator;
  if (!folderHasEntries || !folderHasEntries(folder)) return std::string(programFolder);
  return folder;
}

bool FolderHasEntries(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(PathFromUtf8(folder), error);
  return !error && it != std::filesystem::directory_iterator();
}

}  // namespace vintrel
