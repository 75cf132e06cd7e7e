#include "app/settings.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/platform.h"
#include "app/settings_text.h"
#include "base/utf8_path.h"

namespace vintrel {
namespace {

// A real setup.ini is a few hundred bytes; a huge or endless file is not read whole.
constexpr std::size_t kMaxSettingsBytes = 1 << 20;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Reads the comma- and line-separated fields of the file, one at a time.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {
    // An editor may have put a UTF-8 byte order mark in front of the first quote.
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  }

  std::optional<std::string> Next() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return std::nullopt;
    std::string value;
    if (text_[pos_] == '"') {
      const auto close = text_.find('"', pos_ + 1);
      const auto end = close == std::string_view::npos ? text_.size() : close;
      value = text_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end == text_.size() ? end : end + 1;
      while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
    } else {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
      std::string_view raw = text_.substr(start, pos_ - start);
      while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
      value = raw;
    }
    SkipDelimiter();
    return value;
  }

 private:
  void SkipDelimiter() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Whole numbers only: "1.6", "5.15k" and "" are not indexes.
std::optional<int> ParseWholeNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
    return std::nullopt;
  return value;
}

void ApplyIndex(const std::optional<std::string>& field, std::size_t itemCount, int& index) {
  if (!field) return;
  const auto number = ParseWholeNumber(*field);
  if (number && *number >= 0 && static_cast<std::size_t>(*number) < itemCount) index = *number;
}

std::string QuotedLine(std::string_view value) {
  return "\"" + std::string(value) + "\"\r\n";
}

// A folder holding a double quote cannot be quoted; it can still stand unquoted when nothing
// else in it would end or trim an unquoted field.
bool FitsUnquoted(std::string_view value) {
  if (value.empty() || IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"') return false;
  return value.find_first_of(",\r\n") == std::string_view::npos;
}

}  // namespace

bool FolderFitsSettingsFile(std::string_view folder) {
  return folder.find('"') == std::string_view::npos || FitsUnquoted(folder);
}

void ParseSettings(std::string_view text, StoredSettings& settings) {
  FieldReader reader(text);
  for (const PickerRow& row : kPickerRows)
    ApplyIndex(reader.Next(), row.items.size(), settings.pickers[row.picker]);
  if (auto folder = reader.Next()) settings.outputFolder = FolderFromSettingsFile(*folder);
}

std::string SerializeSettings(const StoredSettings& settings) {
  std::string text;
  for (int index : settings.pickers.values) text += QuotedLine(std::to_string(index));
  const std::string folder = FolderForSettingsFile(settings.outputFolder);
  if (folder.find('"') == std::string::npos) {
    text += QuotedLine(folder);
  } else if (FitsUnquoted(folder)) {
    text += folder + "\r\n";
  } else {
    text += QuotedLine("");  // unstorable: the next start falls back to the default folder
  }
  return text;
}

bool LoadSettings(const std::string& file, StoredSettings& settings) {
  std::error_code error;
  const std::filesystem::path path = PathFromUtf8(file);
  // Anything but a regular file (a folder, a pipe) is treated as no file at all.
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text(kMaxSettingsBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  ParseSettings(text, settings);
  return true;
}

bool SaveSettings(const std::string& file, const StoredSettings& settings) {
  std::error_code error;
  const std::filesystem::path folder = PathFromUtf8(file).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  const bool written = ReplaceFileContents(file, SerializeSettings(settings));
  return written && FolderFitsSettingsFile(settings.outputFolder);
}

}  // namespace vintrel
