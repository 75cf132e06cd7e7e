#include "engine/output_names.h"

#include <filesystem>
#include <system_error>

#include "app/utf8_path.h"

namespace vintrel {

namespace {

constexpr std::string_view kOutputEnding = ".3gp";

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

bool SameFile(std::string_view a, std::string_view b, PathStyle style) {
  if (style == PathStyle::Windows ? LowerAscii(std::string(a)) == LowerAscii(std::string(b)) : a == b) {
    return true;
  }
  std::error_code ec;
  return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

std::string QuotingProblem(std::string_view path) {
  if (path.find('"') != std::string_view::npos) return "contains a double quote";
  if (!path.empty() && path.back() == '\\') return "ends with a backslash";
  return {};
}

bool IsNonEmptyFile(std::string_view path) {
  std::error_code ec;
  const auto fsPath = PathFromUtf8(path);
  if (!std::filesystem::is_regular_file(fsPath, ec) || ec) return false;
  const auto size = std::filesystem::file_size(fsPath, ec);
  return !ec && size > 0;
}

void CreateFolderQuietly(std::string_view folder) {
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directory(PathFromUtf8(folder), ec);
}

void OutputNames::Clear() {
  taken_.clear();
  nextNumber_.clear();
}

void OutputNames::ReserveSource(std::string_view path) {
  taken_.insert(Key(path));
}

void OutputNames::Claim(std::string_view outputPath) {
  taken_.insert(Key(outputPath));
}

std::string OutputNames::Key(std::string_view path) const {
  // Different spellings of one place ("out/./a.3gp", a symlinked folder) must meet.
  std::error_code ec;
  auto normal = std::filesystem::weakly_canonical(PathFromUtf8(path), ec);
  if (ec) normal = PathFromUtf8(path).lexically_normal();
  std::string key = Utf8FromPath(normal);
  return style_ == PathStyle::Windows ? LowerAscii(std::move(key)) : key;
}

bool OutputNames::Taken(const std::string& path) const {
  return taken_.count(Key(path)) > 0;
}

std::string OutputNames::Choose(const std::string& plainOutputPath) {
  if (!Taken(plainOutputPath)) return plainOutputPath;
  std::string stem = plainOutputPath;
  std::string ending;
  if (stem.size() >= kOutputEnding.size() &&
      stem.compare(stem.size() - kOutputEnding.size(), kOutputEnding.size(), kOutputEnding) == 0) {
    ending = kOutputEnding;
    stem.resize(stem.size() - kOutputEnding.size());
  }
  int& number = nextNumber_.try_emplace(Key(plainOutputPath), 2).first->second;
  for (;; ++number) {
    std::string candidate = stem + " (" + std::to_string(number) + ")" + ending;
    if (!Taken(candidate)) return candidate;
  }
}

}  // namespace vintrel
