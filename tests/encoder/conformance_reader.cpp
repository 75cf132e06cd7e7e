#include "conformance_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "conformance_video.h"

namespace convtest {
namespace {

// Picture-clock tick of H.263 (5.1.2), also the tolerance for MPEG-4 VOP times.
constexpr double kTick = 1001.0 / 30000.0;

class Checker {
 public:
  Checker(const Bytes& file, const ConformanceOptions& options) : file_(file), options_(options) {}
  ConformanceReport Run();

 private:
  void Break(const char* rule, std::string detail) { report_.broken.push_back({rule, std::move(detail)}); }
  void Applies(const char* rule) { report_.checked.push_back(rule); }
  void CheckLayout();
  void CheckBrands();
  void CheckAmr(const TrackBoxes& track);
  void CheckTiming(const TrackBoxes& track);
  void CheckVideo(const TrackBoxes& track);
  void CheckPictureTimes(const VideoFacts& video);
  void CheckH263Stream(const TrackBoxes& track, const VideoFacts& video,
                       const std::optional<LevelLimits>& level);
  void CheckMpeg4Stream(const TrackBoxes& track, const VideoFacts& video,
                        const std::optional<LevelLimits>& level);

  const Bytes& file_;
  const ConformanceOptions& options_;
  FileBoxes boxes_;
  ConformanceReport report_;
};

ConformanceReport Checker::Run() {
  Applies(rule::kReadable);
  try {
    boxes_ = ReadBoxes(file_);
    CheckLayout();
    CheckBrands();
    if (const TrackBoxes* audio = boxes_.Track("soun")) CheckAmr(*audio);
    if (const TrackBoxes* video = boxes_.Track("vide")) {
      CheckTiming(*video);
      CheckVideo(*video);
    }
  } catch (const Unreadable& error) {
    Break(rule::kReadable, error.what());
  }
  return report_;
}

// ISO/IEC 14496-12 and TS 26.244 progressive download: the movie box comes before the media.
void Checker::CheckLayout() {
  Applies(rule::kMovieFirst);
  auto at = [&](const std::string& type) {
    for (std::size_t i = 0; i < boxes_.top.size(); ++i)
      if (boxes_.top[i].type == type) return i;
    return boxes_.top.size();
  };
  if (at("ftyp") != 0)
    Break(rule::kMovieFirst, "ftyp is not the first box");
  else if (at("moov") > at("mdat"))
    Break(rule::kMovieFirst, "mdat comes before moov");
}

// TS 26.244 clause 5.4: H.263, MPEG-4 Visual and AMR are Release 4, so 3gp4 is the brand; the
// compatible list repeats it and claims nothing else but the ISO base format.
void Checker::CheckBrands() {
  Applies(rule::kBrands);
  const auto& list = boxes_.compatibleBrands;
  if (boxes_.majorBrand != "3gp4") {
    Break(rule::kBrands, "major brand " + boxes_.majorBrand + " instead of 3gp4");
  } else if (std::find(list.begin(), list.end(), "3gp4") == list.end()) {
    Break(rule::kBrands, "3gp4 is not among the compatible brands");
  } else {
    for (const std::string& brand : list)
      if (brand != "3gp4" && brand != "isom") return Break(rule::kBrands, "claims brand " + brand);
  }
}

// The AMR storage format (RFC 4867 5.3): each frame's header gives its mode (FT); damr's mode_set
// (TS 26.244 clause 6) must name exactly the modes used.
void Checker::CheckAmr(const TrackBoxes& track) {
  if (!track.amrModeSet) return;
  Applies(rule::kAmrModes);
  static constexpr int kPayload[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, 0, 0, 0, 0, 0, 0, 0};
  unsigned used = 0;
  for (std::size_t i = 0; i < track.sizes.size(); ++i) {
    const std::size_t end = track.offsets[i] + track.sizes[i];
    for (std::size_t at = track.offsets[i]; at < end;) {
      const int type = (file_[at] >> 3) & 0x0F;
      if (type < 8) used |= 1u << type;
      at += 1 + static_cast<std::size_t>(kPayload[type]);
    }
  }
  const unsigned declared = *track.amrModeSet;
  if (declared != used || (used & (used - 1)) != 0) {
    char text[80];
    std::snprintf(text, sizeof text, "mode_set 0x%04X, frames use 0x%04X", declared, used);
    Break(rule::kAmrModes, text);
  }
}

// Every picture lasts a whole number of frame periods of the chosen rate, so a player that
// takes the shortest sample for the frame rate finds the chosen one; without dropped frames the
// track says so with a single stts entry.
void Checker::CheckTiming(const TrackBoxes& track) {
  if (options_.frameRate <= 0) return;
  Applies(rule::kTiming);
  const double period = track.timescale / options_.frameRate;
  for (std::size_t i = 0; i < track.durations.size(); ++i) {
    const double periods = std::round(track.durations[i] / period);
    if (periods < 1 || std::abs(track.durations[i] - periods * period) > 0.5) {
      return Break(rule::kTiming, "sample " + std::to_string(i) + " lasts " +
                                      std::to_string(track.durations[i]) + " units, not a multiple of " +
                                      std::to_string(period));
    }
  }
  if (options_.framesDropped == false && track.timeEntries != 1)
    Break(rule::kTiming,
          "no frame was dropped, yet stts has " + std::to_string(track.timeEntries) + " entries");
}

void Checker::CheckVideo(const TrackBoxes& track) {
  const VideoFacts video = ReadVideoFacts(file_, track);
  Applies(rule::kDeclaredLevel);
  const std::optional<LevelLimits> level = options_.levels ? options_.levels(video) : BuiltInLevel(video);
  if (!level)
    Break(rule::kDeclaredLevel,
          "declares level " + std::to_string(video.declaredLevel) + ", which is not known");
  else if (!level->refusal.empty())
    Break(rule::kDeclaredLevel, "level " + std::to_string(video.declaredLevel) + ": " + level->refusal);
  CheckPictureTimes(video);
  if (video.h263)
    CheckH263Stream(track, video, level);
  else
    CheckMpeg4Stream(track, video, level);
}

void Checker::CheckPictureTimes(const VideoFacts& video) {
  Applies(rule::kPictureTime);
  for (std::size_t i = 0; i < video.pictureTimes.size(); ++i) {
    const double off = video.pictureTimes[i] - video.trackTimes[i];
    if (std::abs(off) > kTick + 1e-6) {
      char text[120];
      std::snprintf(text, sizeof text, "picture %zu: stream time %.3f s, track time %.3f s", i,
                    video.pictureTimes[i], video.trackTimes[i]);
      return Break(rule::kPictureTime, text);
    }
  }
}

void Checker::CheckH263Stream(const TrackBoxes& track, const VideoFacts& video,
                              const std::optional<LevelLimits>& level) {
  Applies(rule::kPictureBits);
  const long most = BppMaxBits(video.width, video.height);
  const auto largest = std::max_element(track.sizes.begin(), track.sizes.end());
  if (largest != track.sizes.end() && *largest * 8L > most) {
    Break(rule::kPictureBits, "picture " + std::to_string(largest - track.sizes.begin()) + " has " +
                                  std::to_string(*largest * 8L) + " bits, over " + std::to_string(most));
  }
  if (!level) return;
  Applies(rule::kH263Buffer);
  // The channel a phone is served through runs at the stream's own rate, never above Rmax.
  const double channel = std::min<double>(level->maxBitrate, video.averageBitrate);
  const long over = H263BufferOverflow(track.sizes, video.pictureTimes, channel, level->maxBitrate, most);
  if (over >= 0) Break(rule::kH263Buffer, "the Annex B buffer overflows at picture " + std::to_string(over));
}

void Checker::CheckMpeg4Stream(const TrackBoxes& track, const VideoFacts& video,
                               const std::optional<LevelLimits>& level) {
  Applies(rule::kEsdsRates);
  std::uint64_t largest = 0;
  std::uint64_t peak = 0;
  std::uint64_t window = 0;
  for (std::size_t i = 0, first = 0; i < track.sizes.size(); ++i) {
    largest = std::max<std::uint64_t>(largest, track.sizes[i]);
    window += track.sizes[i] * 8ull;
    while (track.starts[i] - track.starts[first] >= track.timescale) window -= track.sizes[first++] * 8ull;
    peak = std::max(peak, window);
  }
  const EsdsFields& esds = *track.esds;
  if (esds.maxBitrate < peak)
    Break(rule::kEsdsRates,
          "maxBitrate " + std::to_string(esds.maxBitrate) + " under the peak " + std::to_string(peak));
  else if (esds.bufferSizeDB < largest)
    Break(rule::kEsdsRates, "bufferSizeDB " + std::to_string(esds.bufferSizeDB) + " under the largest VOP " +
                                std::to_string(largest));
  else if (std::abs(esds.avgBitrate - video.averageBitrate) > 0.05 * video.averageBitrate)
    Break(rule::kEsdsRates, "avgBitrate " + std::to_string(esds.avgBitrate) + " is not the average " +
                                std::to_string(static_cast<long>(video.averageBitrate)));
  if (!level) return;
  Applies(rule::kMpeg4Buffer);
  const long under =
      Mpeg4BufferUnderflow(track.sizes, video.pictureTimes, level->maxBitrate, level->bufferBits);
  if (under >= 0) Break(rule::kMpeg4Buffer, "the VBV underflows at VOP " + std::to_string(under));
}

}  // namespace

const std::vector<std::string>& AllRules() {
  static const std::vector<std::string> rules{rule::kReadable,    rule::kDeclaredLevel, rule::kPictureTime,
                                              rule::kPictureBits, rule::kH263Buffer,    rule::kMpeg4Buffer,
                                              rule::kEsdsRates,   rule::kMovieFirst,    rule::kBrands,
                                              rule::kAmrModes,    rule::kTiming};
  return rules;
}

bool ConformanceReport::Broke(const std::string& rule) const {
  return std::any_of(broken.begin(), broken.end(), [&](const Finding& f) { return f.rule == rule; });
}

std::vector<std::string> ConformanceReport::BrokenRules() const {
  std::vector<std::string> rules;
  for (const Finding& finding : broken) rules.push_back(finding.rule);
  return rules;
}

std::string ConformanceReport::Text() const {
  std::string text;
  for (const Finding& finding : broken) text += finding.rule + ": " + finding.detail + "\n";
  return text.empty() ? "conforms\n" : text;
}

ConformanceReport CheckConformance(const Bytes& file, const ConformanceOptions& options) {
  return Checker(file, options).Run();
}

ConformanceReport CheckConformanceOf(const std::string& path, const ConformanceOptions& options) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && !in) {
    ConformanceReport report;
    report.broken.push_back({rule::kReadable, "cannot read " + path});
    return report;
  }
  return CheckConformance(file, options);
}

}  // namespace convtest
