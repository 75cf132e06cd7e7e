#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// UTF-8 inside the program, UTF-16 at the Win32 edge. Text that is not valid in its own encoding
// is refused rather than mended: a mended path could name another file. Empty converts to empty.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
std::optional<std::string> Utf8FromWide(std::wstring_view wide);

// For text only shown to a person: what cannot be converted becomes U+FFFD. Never for paths.
std::wstring WideForDisplay(std::string_view text);

}  // namespace vintrel
