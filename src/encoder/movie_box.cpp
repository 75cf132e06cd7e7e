#include "movie_box.h"

#include <algorithm>
#include <limits>
#include <string>

namespace conv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A sample entry's fixed fields before its child boxes (ISO/IEC 14496-12 12.1.3, 12.2.3).
constexpr std::size_t kVisualEntryFields = 78;
constexpr std::size_t kAudioEntryFields = 28;
// Days of sound in 20 ms frames; a table that counts more is not one the muxer wrote.
constexpr std::uint64_t kMostSamples = std::uint64_t{1} << 25;

void Require(bool condition, const char* what) {
  if (!condition) throw MalformedBox(what);
}

std::uint64_t Get(const Bytes& bytes, std::size_t at, int width) {
  Require(at + static_cast<std::size_t>(width) <= bytes.size(), "a box runs past its parent");
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

void Put(Bytes& bytes, std::size_t at, int width, std::uint64_t value) {
  Require(at + static_cast<std::size_t>(width) <= bytes.size(), "a box runs past its parent");
  for (int i = width - 1; i >= 0; --i, value >>= 8) bytes[at + static_cast<std::size_t>(i)] = value & 0xFF;
}

struct Box {
  std::uint32_t type = 0;
  BoxSpan span;
};

// The boxes directly inside [begin, end).
std::vector<Box> Children(const Bytes& bytes, std::size_t begin, std::size_t end) {
  std::vector<Box> boxes;
  for (std::size_t at = begin; at + 8 <= end;) {
    std::uint64_t size = Get(bytes, at, 4);
    std::size_t header = 8;
    if (size == 1) {
      size = Get(bytes, at + 8, 8);
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    Require(size >= header && size <= end - at, "a box's size does not fit its parent");
    boxes.push_back({static_cast<std::uint32_t>(Get(bytes, at + 4, 4)), {at + header, at + size}});
    at += size;
  }
  return boxes;
}

BoxSpan Find(const Bytes& bytes, BoxSpan parent, std::uint32_t type) {
  for (const Box& box : Children(bytes, parent.body, parent.end))
    if (box.type == type) return box.span;
  return {};
}

BoxSpan Need(const Bytes& bytes, BoxSpan parent, const char (&type)[5]) {
  const BoxSpan span = Find(bytes, parent, FourCc(type));
  if (!span.Found()) throw MalformedBox(std::string("a track has no ") + type + " box");
  return span;
}

void ReadTiming(const Bytes& bytes, BoxSpan mdhd, BoxSpan stts, TrackTables& track) {
  const bool wide = Get(bytes, mdhd.body, 1) == 1;
  track.timescale = static_cast<std::uint32_t>(Get(bytes, mdhd.body + (wide ? 20 : 12), 4));
  const std::uint64_t entries = Get(bytes, stts.body + 4, 4);
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint64_t count = Get(bytes, stts.body + 8 + i * 8, 4);
    const auto delta = static_cast<std::uint32_t>(Get(bytes, stts.body + 12 + i * 8, 4));
    Require(track.sampleDurations.size() + count <= kMostSamples, "a time table of too many samples");
    track.sampleDurations.insert(track.sampleDurations.end(), count, delta);
  }
}

void ReadSizes(const Bytes& bytes, BoxSpan stsz, TrackTables& track) {
  const auto common = static_cast<std::uint32_t>(Get(bytes, stsz.body + 4, 4));
  const std::uint64_t count = Get(bytes, stsz.body + 8, 4);
  Require(common != 0 || stsz.body + 12 + count * 4 <= stsz.end, "a size table longer than its box");
  Require(count <= kMostSamples, "a size table of too many samples");
  track.sampleSizes.resize(count, common);
  if (common == 0)
    for (std::uint64_t i = 0; i < count; ++i)
      track.sampleSizes[i] = static_cast<std::uint32_t>(Get(bytes, stsz.body + 12 + i * 4, 4));
}

void ReadChunks(const Bytes& bytes, BoxSpan stbl, TrackTables& track) {
  BoxSpan offsets = Find(bytes, stbl, FourCc("stco"));
  if (!offsets.Found()) {
    offsets = Need(bytes, stbl, "co64");
    track.wideChunkOffsets = true;
  }
  const int width = track.wideChunkOffsets ? 8 : 4;
  const std::uint64_t count = Get(bytes, offsets.body + 4, 4);
  Require(offsets.body + 8 + count * width <= offsets.end, "a chunk table longer than its box");
  track.chunkOffsetsAt = offsets.body + 8;
  for (std::uint64_t i = 0; i < count; ++i)
    track.chunkOffsets.push_back(Get(bytes, track.chunkOffsetsAt + i * width, width));
}

// The boxes inside the first sample entry that the muxer fills in: d263, esds or damr.
void ReadDescription(const Bytes& bytes, BoxSpan stsd, TrackTables& track) {
  const std::vector<Box> entries = Children(bytes, stsd.body + 8, stsd.end);
  Require(!entries.empty(), "a track without a sample description");
  const Box& entry = entries.front();
  const std::size_t fields = track.handler == FourCc("vide") ? kVisualEntryFields : kAudioEntryFields;
  Require(entry.span.body + fields <= entry.span.end, "a sample description too short for its kind");
  const BoxSpan children{entry.span.body + fields, entry.span.end};
  track.d263 = Find(bytes, children, FourCc("d263"));
  track.esds = Find(bytes, children, FourCc("esds"));
  track.damr = Find(bytes, children, FourCc("damr"));
}

TrackTables ReadTrack(const Bytes& bytes, BoxSpan trak) {
  TrackTables track;
  const BoxSpan mdia = Need(bytes, trak, "mdia");
  track.handler = static_cast<std::uint32_t>(Get(bytes, Need(bytes, mdia, "hdlr").body + 8, 4));
  const BoxSpan stbl = Need(bytes, Need(bytes, mdia, "minf"), "stbl");
  ReadTiming(bytes, Need(bytes, mdia, "mdhd"), Need(bytes, stbl, "stts"), track);
  ReadSizes(bytes, Need(bytes, stbl, "stsz"), track);
  Require(track.sampleSizes.size() == track.sampleDurations.size(), "sizes and times of different samples");
  ReadChunks(bytes, stbl, track);
  ReadDescription(bytes, Need(bytes, stbl, "stsd"), track);
  return track;
}

}  // namespace

std::vector<TrackTables> ReadMovieTables(const Bytes& moov) {
  const std::vector<Box> top = Children(moov, 0, moov.size());
  Require(top.size() == 1 && top.front().type == FourCc("moov"), "not a movie box");
  std::vector<TrackTables> tracks;
  for (const Box& box : Children(moov, top.front().span.body, top.front().span.end))
    if (box.type == FourCc("trak")) tracks.push_back(ReadTrack(moov, box.span));
  return tracks;
}

void ShiftChunkOffsets(Bytes& moov, const TrackTables& track, std::int64_t delta) {
  const int width = track.wideChunkOffsets ? 8 : 4;
  const std::uint64_t limit = track.wideChunkOffsets ? std::numeric_limits<std::int64_t>::max() : 0xFFFFFFFFu;
  for (std::size_t i = 0; i < track.chunkOffsets.size(); ++i) {
    const auto moved = static_cast<std::int64_t>(track.chunkOffsets[i]) + delta;
    Require(moved >= 0 && static_cast<std::uint64_t>(moved) <= limit, "a chunk offset out of range");
    Put(moov, track.chunkOffsetsAt + i * width, width, static_cast<std::uint64_t>(moved));
  }
}

VideoRates MeasureVideoRates(const TrackTables& track) {
  VideoRates rates;
  std::uint64_t total = 0;
  std::uint64_t duration = 0;
  std::uint64_t windowBytes = 0;
  std::uint64_t peakBytes = 0;
  std::vector<std::uint64_t> starts(track.sampleSizes.size());
  // The window opens at each sample in turn and takes every sample that starts within a second.
  for (std::size_t i = 0, first = 0; i < track.sampleSizes.size(); ++i) {
    starts[i] = duration;
    duration += track.sampleDurations[i];
    total += track.sampleSizes[i];
    rates.largestSample = std::max(rates.largestSample, track.sampleSizes[i]);
    windowBytes += track.sampleSizes[i];
    while (starts[i] - starts[first] >= track.timescale) windowBytes -= track.sampleSizes[first++];
    peakBytes = std::max(peakBytes, windowBytes);
  }
  constexpr std::uint64_t kMost = 0xFFFFFFFFu;
  rates.peakPerSecond = static_cast<std::uint32_t>(std::min(kMost, peakBytes * 8));
  if (duration > 0)
    rates.average = static_cast<std::uint32_t>(std::min(kMost, total * 8 * track.timescale / duration));
  return rates;
}

void DeclareH263Level(Bytes& moov, const TrackTables& track, int level) {
  Require(track.d263.Found(), "an H.263 track without its d263 box");
  // vendor (4), decoder_version (1), H263_Level (1), H263_Profile (1): the H263SpecificBox of TS 26.244
  // clause 6.
  Require(level > 0 && level < 256, "an H.263 level out of range");
  Put(moov, track.d263.body + 5, 1, static_cast<std::uint64_t>(level));
}

namespace {

// An expandable descriptor size (ISO/IEC 14496-1 8.3.3): up to four bytes of seven bits each.
std::size_t DescriptorBody(const Bytes& bytes, std::size_t at, std::size_t end, std::uint8_t tag) {
  Require(at < end && bytes[at] == tag, "an esds box without its descriptor");
  ++at;
  for (int i = 0; i < 4; ++i) {
    Require(at < end, "a descriptor runs past its box");
    if ((bytes[at++] & 0x80) == 0) return at;
  }
  throw MalformedBox("a descriptor's size is too long");
}

}  // namespace

void DeclareMpeg4Rates(Bytes& moov, const TrackTables& track, const VideoRates& rates) {
  Require(track.esds.Found(), "an MPEG-4 track without its esds box");
  const std::size_t end = track.esds.end;
  // ES_Descriptor (ISO/IEC 14496-1 7.2.6.5): ES_ID, then flags that say which fields follow.
  std::size_t at = DescriptorBody(moov, track.esds.body + 4, end, 0x03) + 2;
  const auto flags = static_cast<std::uint8_t>(Get(moov, at++, 1));
  if (flags & 0x80) at += 2;
  if (flags & 0x40) at += 1 + Get(moov, at, 1);
  if (flags & 0x20) at += 2;
  // DecoderConfigDescriptor (7.2.6.6): objectTypeIndication, streamType, bufferSizeDB (24 bits,
  // bytes), maxBitrate (the most over any one-second window), avgBitrate. A bound the encoder
  // already declared larger is kept: it is still true.
  at = DescriptorBody(moov, at, end, 0x04) + 2;
  Require(at + 11 <= end, "a decoder configuration too short");
  const auto buffer = static_cast<std::uint32_t>(Get(moov, at, 3));
  const auto maxRate = static_cast<std::uint32_t>(Get(moov, at + 3, 4));
  Require(rates.largestSample < (1u << 24), "a picture too large for the decoder buffer field");
  Put(moov, at, 3, std::max(buffer, rates.largestSample));
  Put(moov, at + 3, 4, std::max(maxRate, rates.peakPerSecond));
  Put(moov, at + 7, 4, rates.average);
}

void DeclareAmrModes(Bytes& moov, const TrackTables& track, std::uint16_t modes) {
  Require(track.damr.Found(), "an AMR track without its damr box");
  // vendor (4), decoder_version (1), mode_set (2), mode_change_period (1), frames_per_sample (1):
  // the AMRSpecificBox of TS 26.244 clause 6.
  Put(moov, track.damr.body + 5, 2, modes);
}

}  // namespace conv
