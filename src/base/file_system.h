#pragma once

#include <string>
#include <string_view>

#include "base/path_style.h"

namespace vintrel {

// Folder and name with one separator between them: none added when the folder already ends in
// one (a root such as "C:\" or "/"), and the bare name when the folder is empty.
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = NativePathStyle());

// The text as the style compares names: folded (FoldName) in Windows style, else as it is.
std::string NameAsCompared(std::string_view text, PathStyle style);

// Whether the two texts name the same file: equal spellings (equal folds in Windows style),
// or two existing names of one file.
bool SameFile(std::string_view a, std::string_view b, PathStyle style);

// A regular file of at least one byte.
bool IsNonEmptyFile(std::string_view path);
bool IsFolder(std::string_view path);
// The folder as an absolute path, or an empty text when the text names no existing folder (a
// file, nothing, or a relative name whose current folder is gone).
std::string AbsoluteExistingFolder(std::string_view text);
// The path as an absolute one, or an empty text when it cannot be made absolute (no current
// folder). Never throws.
std::string AbsolutePath(std::string_view text);

// Creates the folder's last level when it is missing. Returns why the folder is not there
// afterwards (the system's words, "Permission denied"), or an empty text when it is there or
// when the text names no folder at all.
std::string CreateFolder(std::string_view folder);
// The same, creating every missing level on the way.
std::string CreateFolders(std::string_view folder);

}  // namespace vintrel
