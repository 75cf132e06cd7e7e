#include "conformance_video.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace convtest {
namespace {

// H.263's picture clock, the unit of TR (ITU-T H.263 5.1.2).
constexpr double kTick = 1001.0 / 30000.0;

class BitReader {
 public:
  BitReader(const Bytes& bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), at_(begin * 8), end_(end * 8) {}
  std::uint32_t Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= end_) throw Unreadable("a header runs past its sample");
      value = value << 1 | ((bytes_[at_ / 8] >> (7 - at_ % 8)) & 1);
      ++at_;
    }
    return value;
  }
  void Marker() {
    if (Bits(1) != 1) throw Unreadable("a marker bit is 0");
  }

 private:
  const Bytes& bytes_;
  std::size_t at_;
  std::size_t end_;
};

// The position after the start code 00 00 01 `code` in [begin, end), or end.
std::size_t After(const Bytes& bytes, std::size_t begin, std::size_t end, std::uint8_t code,
                  std::uint8_t mask = 0xFF) {
  for (std::size_t at = begin; at + 4 <= end; ++at)
    if (bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1 && (bytes[at + 3] & mask) == code)
      return at + 4;
  return end;
}

// ITU-T H.263 5.1.1-5.1.3: PSC (22 bits), TR (8 bits), PTYPE with the source format in bits 6-8.
void ReadH263(const Bytes& file, const TrackBoxes& track, VideoFacts& video) {
  static constexpr int kSizes[][2] = {{0, 0}, {128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
  long ticks = 0;
  int lastTr = -1;
  for (std::size_t i = 0; i < track.sizes.size(); ++i) {
    BitReader bits(file, track.offsets[i], track.offsets[i] + track.sizes[i]);
    if (bits.Bits(22) != 0x20) throw Unreadable("an H.263 picture without its start code");
    const int tr = static_cast<int>(bits.Bits(8));
    if (bits.Bits(2) != 2) throw Unreadable("an H.263 PTYPE that does not start with 1 0");
    bits.Bits(3);
    const std::uint32_t format = bits.Bits(3);
    if (format < 1 || format > 5) throw Unreadable("an H.263 source format this reader does not know");
    video.width = kSizes[format][0];
    video.height = kSizes[format][1];
    if (lastTr >= 0) {
      const int step = (tr - lastTr + 256) % 256;
      ticks += step == 0 ? 256 : step;
    }
    lastTr = tr;
    video.pictureTimes.push_back(static_cast<double>(ticks) * kTick);
  }
  video.declaredLevel = track.h263Level.value_or(0);
}

struct VolFacts {
  std::uint32_t resolution = 0;
  int timeBits = 0;
};

// ISO/IEC 14496-2 6.2.3 / 6.3.3: the VOL header up to its width and height.
VolFacts ReadVol(const Bytes& bytes, VideoFacts& video) {
  const std::size_t at = After(bytes, 0, bytes.size(), 0x20, 0xF0);
  if (at == bytes.size()) throw Unreadable("no VOL header in the esds");
  BitReader bits(bytes, at, bytes.size());
  bits.Bits(1 + 8);  // random_accessible_vol, video_object_type_indication
  int verid = 1;
  if (bits.Bits(1)) {
    verid = static_cast<int>(bits.Bits(4));
    bits.Bits(3);
  }
  if (bits.Bits(4) == 15) bits.Bits(16);  // extended pixel aspect ratio
  if (bits.Bits(1)) {                     // vol_control_parameters
    bits.Bits(3);                         // chroma_format, low_delay
    if (bits.Bits(1)) bits.Bits(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);
  }
  const std::uint32_t shape = bits.Bits(2);
  if (shape != 0) throw Unreadable("a VOL that is not rectangular");
  (void)verid;
  bits.Marker();
  VolFacts vol;
  vol.resolution = bits.Bits(16);
  if (vol.resolution == 0) throw Unreadable("a VOL with no time resolution");
  while ((1u << vol.timeBits) < vol.resolution) ++vol.timeBits;
  vol.timeBits = std::max(vol.timeBits, 1);
  bits.Marker();
  if (bits.Bits(1)) bits.Bits(vol.timeBits);  // fixed_vop_time_increment
  bits.Marker();
  video.width = static_cast<int>(bits.Bits(13));
  bits.Marker();
  video.height = static_cast<int>(bits.Bits(13));
  return vol;
}

// 6.2.5 / 6.3.5: modulo_time_base adds whole seconds to the previous VOP's, or to the time_code
// of a GOV header before it (6.2.4: hours, minutes, marker, seconds); vop_time_increment counts
// within the second.
void ReadMpeg4(const Bytes& file, const TrackBoxes& track, VideoFacts& video) {
  const Bytes& header = track.esds->decoderSpecific;
  const std::size_t vos = After(header, 0, header.size(), 0xB0);
  if (vos >= header.size()) throw Unreadable("no VOS header in the esds");
  video.declaredLevel = header[vos];
  const VolFacts vol = ReadVol(header, video);
  std::uint32_t seconds = 0;
  double first = -1;
  for (std::size_t i = 0; i < track.sizes.size(); ++i) {
    const std::size_t end = track.offsets[i] + track.sizes[i];
    const std::size_t at = After(file, track.offsets[i], end, 0xB6);
    if (at >= end) throw Unreadable("a sample without a VOP");
    const std::size_t gov = After(file, track.offsets[i], at, 0xB3);
    if (gov < at) {
      BitReader code(file, gov, at);
      const std::uint32_t hours = code.Bits(5);
      const std::uint32_t minutes = code.Bits(6);
      code.Marker();
      seconds = hours * 3600 + minutes * 60 + code.Bits(6);
    }
    BitReader bits(file, at, end);
    bits.Bits(2);
    while (bits.Bits(1)) ++seconds;
    bits.Marker();
    const double time = seconds + static_cast<double>(bits.Bits(vol.timeBits)) / vol.resolution;
    if (first < 0) first = time;
    video.pictureTimes.push_back(time - first);
  }
}

}  // namespace

VideoFacts ReadVideoFacts(const Bytes& file, const TrackBoxes& track) {
  VideoFacts video;
  video.h263 = track.sampleEntry == "s263";
  if (video.h263) {
    ReadH263(file, track, video);
  } else if (track.sampleEntry == "mp4v" && track.esds) {
    ReadMpeg4(file, track, video);
  } else {
    throw Unreadable("a video sample entry this reader does not know: " + track.sampleEntry);
  }
  double bits = 0;
  for (std::uint32_t size : track.sizes) bits += size * 8.0;
  const double duration =
      track.starts.empty()
          ? 0
          : static_cast<double>(track.starts.back() + track.durations.back()) / track.timescale;
  video.averageBitrate = duration > 0 ? bits / duration : 0;
  video.duration = duration;
  for (std::uint64_t start : track.starts)
    video.trackTimes.push_back(static_cast<double>(start - track.starts.front()) / track.timescale);
  video.shortestInterval = 0;
  for (std::size_t i = 1; i < video.pictureTimes.size(); ++i) {
    const double interval = video.pictureTimes[i] - video.pictureTimes[i - 1];
    if (i == 1 || interval < video.shortestInterval) video.shortestInterval = interval;
  }
  return video;
}

long BppMaxBits(int width, int height) {
  const long pixels = static_cast<long>(width) * height;
  const long kb = pixels <= 176 * 144 ? 64 : pixels <= 352 * 288 ? 256 : pixels <= 704 * 576 ? 512 : 1024;
  return kb * 1024;
}

// Annex B: the buffer fills at the channel's rate (at most Rmax) while data remains; each picture
// leaves at once when its time by TR has come and it is wholly in; what stays must be under B,
// which the level's Rmax sets.
long H263BufferOverflow(const std::vector<std::uint32_t>& sizes, const std::vector<double>& times,
                        double channel, long rmax, long bppMaxBits) {
  const double buffer = 4.0 * rmax * kTick + bppMaxBits;
  double total = 0;
  for (std::uint32_t size : sizes) total += size * 8.0;
  double through = 0;  // bits up to and including the picture being removed
  double start = 0;
  for (std::size_t i = 0; i < sizes.size() && i < times.size(); ++i) {
    through += sizes[i] * 8.0;
    if (i == 0) start = through / channel;
    const double at = std::max(start + times[i] - times[0], through / channel);
    if (std::min(total, channel * at) - through >= buffer) return static_cast<long>(i);
  }
  return -1;
}

// ISO/IEC 14496-2 Annex D: the VBV fills at the level's rate until it is full; decoding starts
// when it is full (or holds the whole stream), and each VOP leaves it at its time from then.
long Mpeg4BufferUnderflow(const std::vector<std::uint32_t>& sizes, const std::vector<double>& times,
                          long rate, long bufferBits) {
  double total = 0;
  for (std::uint32_t size : sizes) total += size * 8.0;
  const double start = std::min<double>(bufferBits, total) / rate;
  double level = 0;
  double entered = 0;
  double now = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const double at = start + times[i];
    const double added = std::min({rate * (at - now), bufferBits - level, total - entered});
    level += std::max(0.0, added);
    entered += std::max(0.0, added);
    now = at;
    if (level + 0.5 < sizes[i] * 8.0) return static_cast<long>(i);
    level -= sizes[i] * 8.0;
  }
  return -1;
}

// A short file may carry the level's rate plus what its buffer held at the start, no more.
static bool AboveRate(const VideoFacts& video, long rate, double bufferBits) {
  return video.duration > 0 && video.averageBitrate * video.duration > rate * video.duration + bufferBits;
}

std::optional<LevelLimits> BuiltInLevel(const VideoFacts& video) {
  LevelLimits limits;
  const double rate = video.shortestInterval > 0 ? 1.0 / video.shortestInterval : 0;
  if (video.h263) {
    // H.263 Annex X, Table X.2 (Profile 0): largest picture, shortest picture interval, Rmax.
    struct Row {
      int level;
      int width, height;
      double qcifInterval, cifInterval;
      long rmax;
    };
    static constexpr Row kRows[] = {{10, 176, 144, 2 * kTick, 0, 64000},
                                    {45, 176, 144, 2 * kTick, 0, 128000},
                                    {20, 352, 288, kTick, 2 * kTick, 128000},
                                    {30, 352, 288, kTick, kTick, 384000},
                                    {40, 352, 288, kTick, kTick, 2048000}};
    for (const Row& row : kRows) {
      if (row.level != video.declaredLevel) continue;
      limits.maxBitrate = row.rmax;
      const bool small = video.width * video.height <= 176 * 144;
      const double interval = small ? row.qcifInterval : row.cifInterval;
      if (video.width > row.width || video.height > row.height || interval == 0)
        limits.refusal = "the picture is larger than the level allows";
      else if (video.shortestInterval + 1e-6 < interval)
        limits.refusal = "pictures come faster than the level allows";
      else if (AboveRate(video, row.rmax, 4.0 * row.rmax / 29.97 + BppMaxBits(video.width, video.height)))
        limits.refusal = "the bitrate is above the level's Rmax";
      return limits;
    }
    return std::nullopt;
  }
  // ISO/IEC 14496-2 Annex N, Simple profile: macroblocks per picture and per second, bitrate,
  // VBV size in units of 16384 bits.
  struct Row {
    int indication;
    long macroblocks, perSecond, bitrate, vbv;
  };
  static constexpr Row kRows[] = {{0x08, 99, 1485, 64000, 10},      {0x09, 99, 1485, 128000, 20},
                                  {0x01, 99, 1485, 64000, 10},      {0x02, 396, 5940, 128000, 40},
                                  {0x03, 396, 11880, 384000, 40},   {0x04, 1200, 36000, 4000000, 80},
                                  {0x05, 1620, 40500, 8000000, 112}};
  for (const Row& row : kRows) {
    if (row.indication != video.declaredLevel) continue;
    limits.maxBitrate = row.bitrate;
    limits.bufferBits = row.vbv * 16384;
    const long macroblocks = static_cast<long>((video.width + 15) / 16) * ((video.height + 15) / 16);
    if (macroblocks > row.macroblocks)
      limits.refusal = "the picture has more macroblocks than the level allows";
    else if (macroblocks * rate > row.perSecond + 1e-6)
      limits.refusal = "more macroblocks per second than the level allows";
    else if (AboveRate(video, row.bitrate, row.vbv * 16384.0))
      limits.refusal = "the bitrate is above the level's";
    return limits;
  }
  return std::nullopt;
}

}  // namespace convtest
