// Our own check that a 3GP is one a phone accepts: the boxes, the H.263 picture headers and the
// MPEG-4 Part 2 VOS/VOL/VOP headers are read from the bytes and held against each rule; every
// broken rule is reported under its own name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "conformance_boxes.h"

namespace convtest {

namespace rule {
inline constexpr char kReadable[] = "readable";
inline constexpr char kDeclaredLevel[] = "declared-level";
inline constexpr char kPictureTime[] = "picture-time";
inline constexpr char kPictureBits[] = "picture-bits";
inline constexpr char kH263Buffer[] = "h263-hrd";
inline constexpr char kMpeg4Buffer[] = "mpeg4-vbv";
inline constexpr char kEsdsRates[] = "esds-rates";
inline constexpr char kMovieFirst[] = "moov-first";
inline constexpr char kBrands[] = "ftyp-brands";
inline constexpr char kAmrModes[] = "damr-modes";
inline constexpr char kTiming[] = "stts-timing";
}  // namespace rule
const std::vector<std::string>& AllRules();

// What the video's own headers and samples say.
struct VideoFacts {
  bool h263 = false;
  int width = 0;
  int height = 0;
  int declaredLevel = 0;             // d263 H263_Level, or MPEG-4 profile_and_level_indication
  double shortestInterval = 0;       // seconds between pictures, by TR or VOP time
  double averageBitrate = 0;         // bit/s over the track's duration
  double duration = 0;               // seconds
  std::vector<double> pictureTimes;  // seconds from the first, by TR or VOP time
  std::vector<double> trackTimes;    // seconds from the first, by the track's timing
};

// The level's limits for a stream; nothing when `level` is not one it knows.
struct LevelLimits {
  long maxBitrate = 0;  // bit/s: H.263 Rmax, MPEG-4 the level's bitrate
  long bufferBits = 0;  // MPEG-4 VBV size (H.263's HRD buffer follows from Rmax)
  std::string refusal;  // why the stream does not fit the level; empty when it does
};
using LevelTable = std::function<std::optional<LevelLimits>(const VideoFacts&)>;
std::optional<LevelLimits> BuiltInLevel(const VideoFacts& video);

struct ConformanceOptions {
  double frameRate = 0;  // the rate asked for; 0 when not known
  std::optional<bool> framesDropped;
  LevelTable levels;  // empty: the reader's own table of H.263 Annex X and ISO/IEC 14496-2 Annex N
};

struct Finding {
  std::string rule;
  std::string detail;
};

struct ConformanceReport {
  std::vector<Finding> broken;
  std::vector<std::string> checked;  // the rules that applied to this file
  bool Broke(const std::string& rule) const;
  std::vector<std::string> BrokenRules() const;
  std::string Text() const;
};

ConformanceReport CheckConformance(const Bytes& file, const ConformanceOptions& options = {});
ConformanceReport CheckConformanceOf(const std::string& path, const ConformanceOptions& options = {});

}  // namespace convtest
