#include "base/file_system.h"

#include <filesystem>
#include <system_error>

#include "base/name_fold.h"
#include "base/utf8_path.h"

namespace vintrel {
namespace {

// "File exists" says nothing to someone who named a folder: say what stands in its place.
std::string WhatStandsThere(std::string_view folder) {
  std::error_code error;
  const auto status = std::filesystem::status(PathFromUtf8(folder), error);
  if (error == std::errc::too_many_symbolic_link_levels)
    return "it is a symbolic link that leads round in a loop";
  if (error) return error.message();
  if (status.type() == std::filesystem::file_type::directory) return {};
  return "a file of that name is there, not a folder";
}

std::string Outcome(std::string_view folder, const std::error_code& error) {
  if (IsFolder(folder)) return {};
  if (!error || error == std::errc::file_exists) return WhatStandsThere(folder);
  return error.message();
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
  std::string joined(folder);
  if (!joined.empty() && joined.back() != Separator(style)) joined += Separator(style);
  joined += name;
  return joined;
}

std::string NameAsCompared(std::string_view text, PathStyle style) {
  return style == PathStyle::Windows ? FoldName(text) : std::string(text);
}

bool SameFile(std::string_view a, std::string_view b, PathStyle style) {
  if (NameAsCompared(a, style) == NameAsCompared(b, style)) return true;
  std::error_code error;
  return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), error) && !error;
}

bool IsNonEmptyFile(std::string_view path) {
  std::error_code error;
  const auto fsPath = PathFromUtf8(path);
  if (!std::filesystem::is_regular_file(fsPath, error) || error) return false;
  const auto size = std::filesystem::file_size(fsPath, error);
  return !error && size > 0;
}

bool IsFolder(std::string_view path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(PathFromUtf8(path), error);
}

std::string AbsolutePath(std::string_view text) {
  if (text.empty()) return {};
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(text), error);
  return error ? std::string() : Utf8FromPath(absolute);
}

std::string AbsoluteExistingFolder(std::string_view text) {
  std::string absolute = AbsolutePath(text);
  return IsFolder(absolute) ? absolute : std::string();
}

std::string CreateFolder(std::string_view folder) {
  if (folder.empty()) return {};
  std::error_code error;
  std::filesystem::create_directory(PathFromUtf8(folder), error);
  return Outcome(folder, error);
}

std::string CreateFolders(std::string_view folder) {
  if (folder.empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(PathFromUtf8(folder), error);
  return Outcome(folder, error);
}

}  // namespace vintrel
