#pragma once

#include <string>
#include <string_view>

namespace vintrel {

// The text as the most forgiving folder sees a name: Unicode NFKC_Casefold (case, compatibility
// forms such as "ﬁ" or full-width letters, and default-ignorable characters all fall away), given
// in canonical decomposed order, so two names are one for any folder that folds names (FAT, NTFS,
// ext4's casefold, APFS) only if their folds are equal. Meant for comparing, never for naming a
// file. Bytes that are not valid UTF-8 are kept as they are.
std::string FoldName(std::string_view text);

// The Unicode version FoldName's tables were made from.
std::string_view NameFoldUnicodeVersion();

}  // namespace vintrel
