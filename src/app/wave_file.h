#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// How long a RIFF/WAVE file plays, in milliseconds (rounded up, at most a minute); none when the
// file is missing or is not a wave file whose format and data chunks make sense.
std::optional<int> WaveDurationMs(const std::string& file);
// The same from the file's first bytes and its whole size: a data chunk that claims more than
// the file holds counts only what is there.
std::optional<int> WaveDurationFromHeader(std::string_view header, std::uint64_t fileSize);

}  // namespace vintrel
