// What a phone reads from a file to decide whether it can play it: the level of H.263 Profile 0
// or of MPEG-4 Simple Profile the video declares. The encoder declares and keeps to the lowest
// level that admits the chosen picture size, frame rate and bitrate; vintrel-cli names it; the
// README's table is checked against it. Standard C++ only, so every one of them may include it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel::levels {

enum class Codec { H263, Mpeg4 };

// H.263 codes five picture formats only; every other size is written as MPEG-4 Part 2.
struct PictureFormat {
  int width = 0;
  int height = 0;
  int64_t bppMaxKb = 0;  // ITU-T H.263, Table 1: kbit one picture may take at most
};
inline constexpr std::array<PictureFormat, 5> kH263Formats{{
    {128, 96, 64},      // sub-QCIF
    {176, 144, 64},     // QCIF
    {352, 288, 256},    // CIF
    {704, 576, 512},    // 4CIF
    {1408, 1152, 1024}  // 16CIF
}};

constexpr std::optional<PictureFormat> H263Format(int width, int height) {
  for (const PictureFormat& format : kH263Formats) {
    if (format.width == width && format.height == height) return format;
  }
  return std::nullopt;
}

constexpr Codec CodecFor(int width, int height) {
  return H263Format(width, height) ? Codec::H263 : Codec::Mpeg4;
}

// One level. H.263 ones bound the picture format and the interval between pictures in ticks of
// the picture clock (1001/30000 s), the smaller formats apart from CIF; MPEG-4 ones bound the
// macroblocks per picture and per second.
struct Level {
  Codec codec = Codec::H263;
  std::string_view name;  // as the standards write it after "Level"
  int code = 0;           // H.263: the d263 box's H263Level; MPEG-4: profile_and_level_indication
  int maxWidth = 0;       // H.263
  int maxHeight = 0;
  int minTicksUpToQcif = 0;  // H.263, 0 where the format is not admitted
  int minTicksCif = 0;
  int64_t maxMacroblocks = 0;  // MPEG-4
  int64_t maxMacroblocksPerSecond = 0;
  int64_t maxBitsPerSecond = 0;
  int64_t vbvBits = 0;  // MPEG-4; H.263's buffer follows from the picture format
};

inline constexpr int kPictureClockNum = 1001;  // ITU-T H.263, 5.1.2: TR counts 1001/30000 s
inline constexpr int kPictureClockDen = 30000;
inline constexpr int64_t kVbvUnitBits = 16384;  // ISO/IEC 14496-2, 6.3.3: vbv_buffer_size units

// Lowest first: a file gets the first level that admits it.
inline constexpr std::array<Level, 12> kLevels{{
    // ITU-T H.263, Annex X, Table X.2 (Profile 0): picture format, minimum picture interval and
    // maximum bit rate in units of 64 000 bit/s. Level 45 is Level 10's QCIF at 15 pictures a
    // second with Level 20's rate, for Profiles 0 and 2 only; 30 pictures a second need Level 20.
    {Codec::H263, "10", 10, 176, 144, 2, 0, 0, 0, 64000, 0},
    {Codec::H263, "45", 45, 176, 144, 2, 0, 0, 0, 128000, 0},
    {Codec::H263, "20", 20, 352, 288, 1, 2, 0, 0, 128000, 0},
    {Codec::H263, "30", 30, 352, 288, 1, 1, 0, 0, 384000, 0},
    {Codec::H263, "40", 40, 352, 288, 1, 1, 0, 0, 2048000, 0},
    // ISO/IEC 14496-2, Annex N, the Simple Profile's levels: macroblocks per VOP (VCV buffer),
    // per second (VCV decoder rate), bit rate and VBV size in 16384-bit units; the code is the
    // Simple Profile (0) and the level, Annex G, Table G.1 (0x09 is Level 0b). Level 0 (0x08)
    // carries rules beyond the table and is not used.
    {Codec::Mpeg4, "0b", 0x09, 0, 0, 0, 0, 99, 1485, 128000, 20 * kVbvUnitBits},
    {Codec::Mpeg4, "1", 0x01, 0, 0, 0, 0, 99, 1485, 64000, 10 * kVbvUnitBits},
    {Codec::Mpeg4, "2", 0x02, 0, 0, 0, 0, 396, 5940, 128000, 40 * kVbvUnitBits},
    {Codec::Mpeg4, "3", 0x03, 0, 0, 0, 0, 396, 11880, 384000, 40 * kVbvUnitBits},
    {Codec::Mpeg4, "4a", 0x04, 0, 0, 0, 0, 1200, 36000, 4000000, 80 * kVbvUnitBits},
    {Codec::Mpeg4, "5", 0x05, 0, 0, 0, 0, 1620, 40500, 8000000, 112 * kVbvUnitBits},
    {Codec::Mpeg4, "6", 0x06, 0, 0, 0, 0, 3600, 108000, 12000000, 248 * kVbvUnitBits},
}};

// Frames a second as a fraction, like 15000/1001.
struct FrameRate {
  int64_t num = 0;
  int64_t den = 1;
};

constexpr int64_t Macroblocks(int width, int height) {
  return int64_t{(width + 15) / 16} * ((height + 15) / 16);
}

constexpr bool Admits(const Level& level, int width, int height, FrameRate rate, int64_t bitsPerSecond) {
  if (rate.num <= 0 || rate.den <= 0 || bitsPerSecond > level.maxBitsPerSecond) return false;
  if (level.codec != CodecFor(width, height)) return false;
  if (level.codec == Codec::Mpeg4) {
    const int64_t blocks = Macroblocks(width, height);
    return blocks <= level.maxMacroblocks && blocks * rate.num <= level.maxMacroblocksPerSecond * rate.den;
  }
  if (width > level.maxWidth || height > level.maxHeight) return false;
  const int minTicks = width * height > 176 * 144 ? level.minTicksCif : level.minTicksUpToQcif;
  // One picture every den/num seconds, at least minTicks * 1001/30000 s apart.
  return minTicks > 0 && rate.den * kPictureClockDen >= minTicks * kPictureClockNum * rate.num;
}

// The lowest level that admits the settings; none when even the highest of its codec does not.
constexpr std::optional<Level> LevelFor(int width, int height, FrameRate rate, int64_t bitsPerSecond) {
  for (const Level& level : kLevels) {
    if (Admits(level, width, height, rate, bitsPerSecond)) return level;
  }
  return std::nullopt;
}

constexpr Level HighestLevel(Codec codec) {
  Level highest;
  for (const Level& level : kLevels) {
    if (level.codec == codec) highest = level;
  }
  return highest;
}

// What a stream of that level and picture size must keep to, in bits.
struct Limits {
  int64_t bitsPerSecond = 0;  // the rate the decoder's buffer fills at
  int64_t bufferBits = 0;     // H.263: the Annex B HRD; MPEG-4: the VBV
  int64_t pictureBits = 0;    // the most one coded picture may take
};

constexpr Limits LimitsOf(const Level& level, int width, int height) {
  Limits limits;
  limits.bitsPerSecond = level.maxBitsPerSecond;
  if (level.codec == Codec::Mpeg4) {
    limits.bufferBits = level.vbvBits;
    limits.pictureBits = level.vbvBits;
    return limits;
  }
  const std::optional<PictureFormat> format = H263Format(width, height);
  const int64_t bppMaxBits = (format ? format->bppMaxKb : kH263Formats.back().bppMaxKb) * 1024;
  // ITU-T H.263, Annex B: B = 4 * Rmax / 29.97 + BPPmaxKb * 1024 bits.
  limits.bufferBits = 4 * level.maxBitsPerSecond * kPictureClockNum / kPictureClockDen + bppMaxBits;
  limits.pictureBits = bppMaxBits;
  return limits;
}

// "H.263 Profile 0 Level 45", "MPEG-4 Simple Profile Level 0b".
inline std::string LevelName(const Level& level) {
  return std::string(level.codec == Codec::H263 ? "H.263 Profile 0 Level " : "MPEG-4 Simple Profile Level ") +
         std::string(level.name);
}

}  // namespace vintrel::levels
