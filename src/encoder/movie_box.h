// The finished file's movie box, held in memory while its declarations are put right: the sample
// tables of each track and the sample description boxes the muxer fills with guesses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace conv {

constexpr std::uint32_t FourCc(const char (&code)[5]) {
  return std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
         std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint32_t(std::uint8_t(code[3]));
}

// A box that is not where or what it should be.
class MalformedBox : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a box's contents lie in the movie box's bytes; empty when the box is absent.
struct BoxSpan {
  std::size_t body = 0;
  std::size_t end = 0;
  bool Found() const { return end > body; }
};

struct TrackTables {
  std::uint32_t handler = 0;  // FourCc("vide"), FourCc("soun")
  std::uint32_t timescale = 0;
  std::vector<std::uint32_t> sampleSizes;
  std::vector<std::uint32_t> sampleDurations;  // one per sample, in timescale units
  std::vector<std::uint64_t> chunkOffsets;     // from the start of the file
  std::size_t chunkOffsetsAt = 0;              // the first entry, in the movie box's bytes
  bool wideChunkOffsets = false;               // co64 instead of stco
  BoxSpan d263;
  BoxSpan esds;
  BoxSpan damr;
};

// `moov` is the whole box, header included. Throws MalformedBox.
std::vector<TrackTables> ReadMovieTables(const std::vector<std::uint8_t>& moov);

// Every chunk offset moves by `delta`, as the media data moves in the file.
void ShiftChunkOffsets(std::vector<std::uint8_t>& moov, const TrackTables& track, std::int64_t delta);

struct VideoRates {
  std::uint32_t peakPerSecond = 0;  // bit/s: the most bits in any one-second window
  std::uint32_t average = 0;        // bit/s over the whole track
  std::uint32_t largestSample = 0;  // bytes
};
VideoRates MeasureVideoRates(const TrackTables& track);

void DeclareH263Level(std::vector<std::uint8_t>& moov, const TrackTables& track, int level);
void DeclareMpeg4Rates(std::vector<std::uint8_t>& moov, const TrackTables& track, const VideoRates& rates);
// `modes` has bit N set for each AMR mode N (frame type) the samples use.
void DeclareAmrModes(std::vector<std::uint8_t>& moov, const TrackTables& track, std::uint16_t modes);

}  // namespace conv
