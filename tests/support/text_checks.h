// Questions tests ask about a text that a program printed or kept.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vintrel::testing_support {

// How many characters the text holds, or none when it is not valid UTF-8 (a sequence cut short,
// an overlong form, a surrogate, a stray continuation byte).
std::optional<std::size_t> Utf8Characters(std::string_view text);

}  // namespace vintrel::testing_support
