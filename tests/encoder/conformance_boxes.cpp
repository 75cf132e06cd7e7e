#include "conformance_boxes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace convtest {
namespace {

struct Span {
  std::string type;
  std::size_t begin = 0;  // contents
  std::size_t end = 0;
  std::size_t start = 0;  // the header
};

void Need(bool condition, const std::string& what) {
  if (!condition) throw Unreadable(what);
}

std::string Type(const Bytes& bytes, std::size_t at) {
  Need(at + 4 <= bytes.size(), "a box type past the end");
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

std::vector<Span> Boxes(const Bytes& bytes, std::size_t begin, std::size_t end) {
  std::vector<Span> boxes;
  for (std::size_t at = begin; at < end;) {
    Need(end - at >= 8, "a box header cut short");
    std::uint64_t size = ReadBig(bytes, at, 4);
    std::size_t header = 8;
    if (size == 1) {
      size = ReadBig(bytes, at + 8, 8);
      header = 16;
    }
    Need(size >= header && size <= end - at, "box '" + Type(bytes, at + 4) + "' does not fit its parent");
    boxes.push_back({Type(bytes, at + 4), at + header, at + static_cast<std::size_t>(size), at});
    at += static_cast<std::size_t>(size);
  }
  return boxes;
}

std::optional<Span> Child(const Bytes& bytes, const Span& parent, const std::string& type) {
  for (const Span& box : Boxes(bytes, parent.begin, parent.end))
    if (box.type == type) return box;
  return std::nullopt;
}

Span Must(const Bytes& bytes, const Span& parent, const std::string& type) {
  std::optional<Span> box = Child(bytes, parent, type);
  Need(box.has_value(), "no '" + type + "' in '" + parent.type + "'");
  return *box;
}

void ReadTimes(const Bytes& bytes, const Span& stts, TrackBoxes& track) {
  track.timeEntries = ReadBig(bytes, stts.begin + 4, 4);
  track.timesAt = stts.begin + 8;
  Need(track.timesAt + track.timeEntries * 8 <= stts.end, "stts longer than its box");
  std::uint64_t now = 0;
  for (std::size_t i = 0; i < track.timeEntries; ++i) {
    const std::uint64_t count = ReadBig(bytes, track.timesAt + i * 8, 4);
    const auto delta = static_cast<std::uint32_t>(ReadBig(bytes, track.timesAt + i * 8 + 4, 4));
    Need(count <= bytes.size(), "stts counts more samples than the file could hold");
    for (std::uint64_t k = 0; k < count; ++k, now += delta) {
      track.starts.push_back(now);
      track.durations.push_back(delta);
    }
  }
}

void ReadSizes(const Bytes& bytes, const Span& stsz, TrackBoxes& track) {
  const auto common = static_cast<std::uint32_t>(ReadBig(bytes, stsz.begin + 4, 4));
  const std::uint64_t count = ReadBig(bytes, stsz.begin + 8, 4);
  Need(count <= bytes.size(), "stsz counts more samples than the file could hold");
  if (common == 0) {
    track.sizesAt = stsz.begin + 12;
    Need(track.sizesAt + count * 4 <= stsz.end, "stsz longer than its box");
    for (std::uint64_t i = 0; i < count; ++i)
      track.sizes.push_back(static_cast<std::uint32_t>(ReadBig(bytes, track.sizesAt + i * 4, 4)));
  } else {
    track.sizes.assign(count, common);
  }
}

// Each sample's offset from the chunk offsets (stco/co64), the chunk runs (stsc) and the sizes.
void ReadOffsets(const Bytes& bytes, const Span& stbl, TrackBoxes& track) {
  std::optional<Span> chunks = Child(bytes, stbl, "stco");
  const int width = chunks ? 4 : 8;
  if (!chunks) chunks = Must(bytes, stbl, "co64");
  const Span runs = Must(bytes, stbl, "stsc");
  const std::uint64_t chunkCount = ReadBig(bytes, chunks->begin + 4, 4);
  const std::uint64_t runCount = ReadBig(bytes, runs.begin + 4, 4);
  Need(chunks->begin + 8 + chunkCount * width <= chunks->end && runs.begin + 8 + runCount * 12 <= runs.end,
       "a chunk table longer than its box");
  std::size_t sample = 0;
  for (std::uint64_t run = 0; run < runCount; ++run) {
    const std::size_t at = runs.begin + 8 + run * 12;
    const std::uint64_t first = ReadBig(bytes, at, 4);
    const std::uint64_t perChunk = ReadBig(bytes, at + 4, 4);
    const std::uint64_t last = run + 1 < runCount ? ReadBig(bytes, at + 12, 4) : chunkCount + 1;
    Need(first >= 1 && last <= chunkCount + 1 && first <= last, "stsc names chunks that do not exist");
    for (std::uint64_t chunk = first; chunk < last; ++chunk) {
      std::uint64_t offset = ReadBig(bytes, chunks->begin + 8 + (chunk - 1) * width, width);
      for (std::uint64_t k = 0; k < perChunk && sample < track.sizes.size(); ++k, ++sample) {
        track.offsets.push_back(offset);
        offset += track.sizes[sample];
      }
    }
  }
  Need(track.offsets.size() == track.sizes.size(), "the chunks do not hold every sample");
  for (std::size_t i = 0; i < track.offsets.size(); ++i)
    Need(track.offsets[i] + track.sizes[i] <= bytes.size(), "a sample lies past the end of the file");
}

// The DecoderConfigDescriptor inside esds (ISO/IEC 14496-1 7.2.6.5, 7.2.6.6).
EsdsFields ReadEsds(const Bytes& bytes, const Span& esds) {
  auto descriptor = [&](std::size_t at, std::uint8_t tag, std::size_t* end) {
    Need(at < esds.end && bytes[at] == tag, "esds lacks descriptor " + std::to_string(tag));
    std::size_t size = 0;
    ++at;
    for (int i = 0; i < 4; ++i) {
      Need(at < esds.end, "esds cut short");
      size = size << 7 | (bytes[at] & 0x7F);
      if ((bytes[at++] & 0x80) == 0) break;
    }
    *end = at + size;
    Need(*end <= esds.end, "a descriptor longer than esds");
    return at;
  };
  std::size_t end = 0;
  std::size_t at = descriptor(esds.begin + 4, 0x03, &end) + 2;
  const std::uint8_t flags = bytes[at++];
  if (flags & 0x80) at += 2;
  if (flags & 0x40) at += 1 + bytes[at];
  if (flags & 0x20) at += 2;
  std::size_t configEnd = 0;
  at = descriptor(at, 0x04, &configEnd) + 2;
  EsdsFields fields;
  fields.fieldsAt = at;
  fields.bufferSizeDB = static_cast<std::uint32_t>(ReadBig(bytes, at, 3));
  fields.maxBitrate = static_cast<std::uint32_t>(ReadBig(bytes, at + 3, 4));
  fields.avgBitrate = static_cast<std::uint32_t>(ReadBig(bytes, at + 7, 4));
  std::size_t infoEnd = 0;
  const std::size_t info = descriptor(at + 11, 0x05, &infoEnd);
  fields.decoderSpecific.assign(bytes.begin() + static_cast<std::ptrdiff_t>(info),
                                bytes.begin() + static_cast<std::ptrdiff_t>(infoEnd));
  return fields;
}

void ReadDescription(const Bytes& bytes, const Span& stsd, TrackBoxes& track) {
  const std::vector<Span> entries = Boxes(bytes, stsd.begin + 8, stsd.end);
  Need(entries.size() == 1, "not one sample description");
  const Span& entry = entries.front();
  track.sampleEntry = entry.type;
  const std::size_t fields = track.handler == "vide" ? 78 : 28;
  const Span children{entry.type, entry.begin + fields, entry.end, entry.start};
  if (std::optional<Span> d263 = Child(bytes, children, "d263")) {
    track.h263LevelAt = d263->begin + 5;
    track.h263Level = static_cast<int>(ReadBig(bytes, track.h263LevelAt, 1));
  }
  if (std::optional<Span> damr = Child(bytes, children, "damr")) {
    track.amrModeSetAt = damr->begin + 5;
    track.amrModeSet = static_cast<std::uint16_t>(ReadBig(bytes, track.amrModeSetAt, 2));
  }
  if (std::optional<Span> esds = Child(bytes, children, "esds")) track.esds = ReadEsds(bytes, *esds);
}

TrackBoxes ReadTrack(const Bytes& bytes, const Span& trak) {
  TrackBoxes track;
  const Span mdia = Must(bytes, trak, "mdia");
  track.handler = Type(bytes, Must(bytes, mdia, "hdlr").begin + 8);
  const Span mdhd = Must(bytes, mdia, "mdhd");
  track.timescale =
      static_cast<std::uint32_t>(ReadBig(bytes, mdhd.begin + (bytes[mdhd.begin] == 1 ? 20 : 12), 4));
  Need(track.timescale > 0, "a track without a timescale");
  const Span stbl = Must(bytes, Must(bytes, mdia, "minf"), "stbl");
  ReadTimes(bytes, Must(bytes, stbl, "stts"), track);
  ReadSizes(bytes, Must(bytes, stbl, "stsz"), track);
  Need(track.sizes.size() == track.starts.size(), "stts and stsz count different samples");
  ReadOffsets(bytes, stbl, track);
  ReadDescription(bytes, Must(bytes, stbl, "stsd"), track);
  return track;
}

}  // namespace

std::uint64_t ReadBig(const Bytes& bytes, std::size_t at, int width) {
  Need(at + static_cast<std::size_t>(width) <= bytes.size(), "a field past the end of the file");
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

const TrackBoxes* FileBoxes::Track(const std::string& handler) const {
  for (const TrackBoxes& track : tracks)
    if (track.handler == handler) return &track;
  return nullptr;
}

FileBoxes ReadBoxes(const Bytes& file) {
  FileBoxes boxes;
  std::optional<Span> moov;
  for (const Span& box : Boxes(file, 0, file.size())) {
    boxes.top.push_back({box.type, box.start, box.end - box.start});
    if (box.type == "moov") moov = box;
    if (box.type == "ftyp") {
      Need(box.end - box.begin >= 8 && (box.end - box.begin) % 4 == 0, "ftyp of a wrong size");
      boxes.majorBrand = Type(file, box.begin);
      boxes.minorVersion = static_cast<std::uint32_t>(ReadBig(file, box.begin + 4, 4));
      for (std::size_t at = box.begin + 8; at < box.end; at += 4)
        boxes.compatibleBrands.push_back(Type(file, at));
    }
  }
  Need(moov.has_value(), "no moov box");
  for (const Span& box : Boxes(file, moov->begin, moov->end))
    if (box.type == "trak") boxes.tracks.push_back(ReadTrack(file, box));
  return boxes;
}

}  // namespace convtest
