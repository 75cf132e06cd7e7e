#include "cli/level_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vintrel::cli {
namespace {

// Numbers as the pickers write them: "120" kbit/s, "5.15k", "14.985"; 0 when not one.
double Number(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  return end != copy.c_str() && std::isfinite(value) ? value : 0;
}

// The NTSC family (14.985, 23.975, 29.97) is N*1000/1001, as the encoder reads it.
levels::FrameRate RateOf(std::string_view text) {
  const double value = Number(text);
  const double ntsc = std::round(value * 1.001);
  if (std::fabs(value - std::round(value)) >= 1e-6 && ntsc >= 1 &&
      std::fabs(value - ntsc * 1000 / 1001) < 0.002) {
    return {static_cast<int64_t>(ntsc) * 1000, 1001};
  }
  return {std::llround(value * 1000), 1000};
}

}  // namespace

std::optional<levels::Level> LevelOfSettings(const ConversionSettings& settings) {
  const std::string& size = settings.FrameSize();
  const auto cross = size.find('x');
  if (cross == std::string::npos) return std::nullopt;
  const int width = static_cast<int>(Number(std::string_view(size).substr(0, cross)));
  const int height = static_cast<int>(Number(std::string_view(size).substr(cross + 1)));
  const auto bits = std::llround(Number(settings.VideoBitrate()) * 1000);
  return levels::LevelFor(width, height, RateOf(settings.FrameRate()), bits);
}

std::string LevelText(const ConversionSettings& settings) {
  if (const auto level = LevelOfSettings(settings)) return levels::LevelName(*level);
  const std::string& size = settings.FrameSize();
  const auto cross = size.find('x');
  const int width = static_cast<int>(Number(std::string_view(size).substr(0, cross)));
  const int height = cross == std::string::npos ? 0 : static_cast<int>(Number(size.substr(cross + 1)));
  std::string name = levels::LevelName(levels::HighestLevel(levels::CodecFor(width, height)));
  return name.insert(name.rfind(" Level"), ", beyond");
}

std::string SizeText(std::uintmax_t bytes) {
  char text[32];
  const double value = static_cast<double>(bytes);
  if (value >= 95000) {
    std::snprintf(text, sizeof text, "%.1f MB", value / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.0f kB", std::ceil(value / 1e3));
  }
  return text;
}

std::string DryRunLevelLine(const ConversionSettings& settings) {
  const double bitsPerSecond =
      Number(settings.VideoBitrate()) * 1000 + Number(settings.AudioBitrate()) * 1000;
  char text[64];
  std::snprintf(text, sizeof text, ", about %.1f MB per minute", bitsPerSecond * 60 / 8 / 1e6);
  return LevelText(settings) + text;
}

}  // namespace vintrel::cli
