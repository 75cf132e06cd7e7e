#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/path_style.h"

namespace vintrel {

inline constexpr std::string_view kOpenFilesTitle = "Open Files";
inline constexpr std::string_view kOpenFilesFilter =
    "AVI Format(*.AVI)|*.avi|FLV Format(*.FLV)|*.flv|WMV Format(*.wmv)|*.wmv|MOV Format(*.mov)|*.mov|"
    "DAT Format(*.dat)|*.dat|ASF Format(*.asf)|*.asf|MPG Format(*.mpg)|*.mpg|MP4 Format(*.mp4)|*.mp4|"
    "All(*.*)|*.*";
// OFN_LONGNAMES | OFN_NOCHANGEDIR: one file, and the current folder stays as it is.
inline constexpr unsigned long kOpenFilesFlags = 0x200008;
// Used when a caller gives a blank filter.
inline constexpr std::string_view kDefaultFilter = "*.*|*.*";

struct FilterPair {
  std::string description;  // "AVI Format(*.AVI)"
  std::string pattern;      // "*.avi"
  bool operator==(const FilterPair&) const = default;
};

// The dialog's own filter format: every "|"-separated piece followed by one NUL; the string's
// terminating NUL then closes the list with the double NUL the dialog expects.
std::string ConvertFilter(std::string_view filter);
// The same pieces as (description, pattern) pairs; an unpaired last piece is dropped.
std::vector<FilterPair> SplitFilter(std::string_view filter);

// For dialogs that match names with regard to case (GTK, the desktop portal): "*.avi" becomes
// "*.avi *.AVI", so a camera's CLIP.AVI shows under its type. Patterns without letters stay.
std::string BothCasePatterns(std::string_view pattern);

// The folder the dialog opens in: the given folder (blanks around it removed, a separator
// added) when it lists anything, else the program's own folder.
std::string ResolveStartFolder(std::string_view given, std::string_view programFolder,
                               const std::function<bool(const std::string&)>& folderHasEntries,
                               char separator = Separator(NativePathStyle()));

// Whether a listing of the folder finds anything, hidden entries and folders included.
bool FolderHasEntries(const std::string& folder);

}  // namespace vintrel
