// The boxes of a 3GP as the conformance reader sees them: read from the bytes alone, sharing no
// code with the encoder's own rewriting, so the two cannot agree on the same mistake.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace convtest {

using Bytes = std::vector<std::uint8_t>;

class Unreadable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::uint64_t ReadBig(const Bytes& bytes, std::size_t at, int width);

struct TopLevelBox {
  std::string type;
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct EsdsFields {
  std::uint32_t bufferSizeDB = 0;  // bytes
  std::uint32_t maxBitrate = 0;
  std::uint32_t avgBitrate = 0;
  std::size_t fieldsAt = 0;  // bufferSizeDB's first byte in the file, for tests that patch it
  Bytes decoderSpecific;     // the MPEG-4 VOS and VOL headers
};

struct TrackBoxes {
  std::string handler;      // "vide", "soun"
  std::string sampleEntry;  // "s263", "mp4v", "samr"
  std::uint32_t timescale = 0;
  std::vector<std::uint32_t> sizes;
  std::vector<std::uint64_t> starts;  // decoding times, in timescale units
  std::vector<std::uint32_t> durations;
  std::size_t timeEntries = 0;              // stts entries
  std::vector<std::uint64_t> offsets;       // each sample's place in the file
  std::optional<int> h263Level;             // d263
  std::size_t h263LevelAt = 0;              // its byte in the file
  std::optional<std::uint16_t> amrModeSet;  // damr
  std::size_t amrModeSetAt = 0;
  std::optional<EsdsFields> esds;
  std::size_t sizesAt = 0;  // the first stsz entry in the file (0 when all samples share a size)
  std::size_t timesAt = 0;  // the first stts entry in the file
};

struct FileBoxes {
  std::vector<TopLevelBox> top;
  std::string majorBrand;
  std::uint32_t minorVersion = 0;
  std::vector<std::string> compatibleBrands;
  std::vector<TrackBoxes> tracks;
  const TrackBoxes* Track(const std::string& handler) const;
};

// Throws Unreadable for anything that is not a well-formed 3GP.
FileBoxes ReadBoxes(const Bytes& file);

}  // namespace convtest
