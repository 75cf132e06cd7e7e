#pragma once

#include <string>
#include <string_view>

namespace vintrel {

// UTF-8 text with every letter replaced by its Unicode simple case folding, so names that a
// case-insensitive folder (a FAT card, NTFS, ext4 casefold) takes for one compare equal. Bytes
// that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);

}  // namespace vintrel
