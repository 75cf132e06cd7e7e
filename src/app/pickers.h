#pragma once

#include <array>
#include <string_view>

namespace vintrel {

// The pickers' fixed items. Their order is part of setup.ini's format.
inline constexpr std::array<std::string_view, 5> kVideoBitrates{"40", "80", "120", "256", "512"};
inline constexpr std::array<std::string_view, 4> kFrameSizes{"128x96", "160x120", "176x144", "352x288"};
inline constexpr std::array<std::string_view, 4> kFrameRates{"14.985", "23.975", "25.0", "29.97"};
inline constexpr std::array<std::string_view, 8> kAudioBitrates{"4.75k", "5.15k", "5.9k",  "6.7k",
                                                                "7.4k",  "7.95k", "10.2k", "12.2k"};

inline constexpr int kDefaultVideoBitrate = 2;  // "120"
inline constexpr int kDefaultFrameSize = 2;     // "176x144"
inline constexpr int kDefaultFrameRate = 0;     // "14.985"
inline constexpr int kDefaultAudioBitrate = 1;  // "5.15k"

}  // namespace vintrel
