// The last pass over a finished 3GP, on files built here in memory: the movie box moves in front
// of the media data with every chunk offset following it, and the declarations are put right.
#include "stream_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "movie_box.h"

namespace conv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A pending output held in memory; writes fail with ENOSPC once `room` bytes have been written.
class MemoryOutput final : public platform::PendingOutput {
 public:
  explicit MemoryOutput(Bytes bytes) : bytes_(std::move(bytes)) {}
  int Write(const std::uint8_t* data, int size) override {
    if (written_ + size > room_) return -ENOSPC;
    written_ += size;
    if (at_ + size > bytes_.size()) bytes_.resize(at_ + size);
    std::memcpy(&bytes_[at_], data, static_cast<std::size_t>(size));
    at_ += static_cast<std::size_t>(size);
    return size;
  }
  std::int64_t Seek(std::int64_t offset, int whence) override {
    const std::int64_t base = whence == SEEK_SET   ? 0
                              : whence == SEEK_CUR ? static_cast<std::int64_t>(at_)
                                                   : static_cast<std::int64_t>(bytes_.size());
    if (base + offset < 0) return -EINVAL;
    at_ = static_cast<std::size_t>(base + offset);
    return base + offset;
  }
  int Read(std::uint8_t* data, int size) override {
    const std::size_t n = at_ >= bytes_.size() ? 0 : std::min<std::size_t>(size, bytes_.size() - at_);
    if (n > 0) std::memcpy(data, &bytes_[at_], n);
    at_ += n;
    return static_cast<int>(n);
  }
  int Truncate(std::int64_t size) override {
    bytes_.resize(static_cast<std::size_t>(size));
    return 0;
  }
  void Commit(bool) override {}
  const Bytes& Contents() const { return bytes_; }
  void LimitWrites(std::int64_t room) { room_ = room; }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
  std::int64_t written_ = 0;
  std::int64_t room_ = INT64_MAX;
};

void Append(Bytes& to, std::uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) to.push_back(i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0);
}

Bytes Box(const char* type, std::initializer_list<Bytes> parts) {
  Bytes body;
  for (const Bytes& part : parts) body.insert(body.end(), part.begin(), part.end());
  Bytes box;
  Append(box, body.size() + 8, 4);
  box.insert(box.end(), type, type + 4);
  box.insert(box.end(), body.begin(), body.end());
  return box;
}

Bytes Words(std::initializer_list<std::uint64_t> values, int width = 4) {
  Bytes bytes;
  for (std::uint64_t value : values) Append(bytes, value, width);
  return bytes;
}

Bytes Table(std::uint32_t count, const std::vector<std::uint32_t>& entries,
            std::initializer_list<std::uint64_t> head) {
  Bytes bytes = Words(head);
  Append(bytes, count, 4);
  for (std::uint32_t entry : entries) Append(bytes, entry, 4);
  return bytes;
}

struct Sample {
  std::uint32_t offset;
  std::uint32_t size;
};

// One track of one-sample chunks; `entry` is the sample entry with its own child box.
Bytes Track(const char* handler, std::uint32_t timescale, std::uint32_t delta,
            const std::vector<Sample>& samples, const Bytes& entry) {
  std::vector<std::uint32_t> sizes, offsets;
  for (const Sample& s : samples) {
    sizes.push_back(s.size);
    offsets.push_back(s.offset);
  }
  const auto count = static_cast<std::uint32_t>(samples.size());
  Bytes hdlr = Words({0, 0});
  hdlr.insert(hdlr.end(), handler, handler + 4);
  Append(hdlr, 0, 12);
  return Box("trak",
             {Box("mdia", {Box("mdhd", {Words({0, 0, 0, timescale, count * delta, 0})}), Box("hdlr", {hdlr}),
                           Box("minf", {Box("stbl", {Box("stsd", {Words({0, 1}), entry}),
                                                     Box("stts", {Words({0, 1, count, delta})}),
                                                     Box("stsc", {Words({0, 1, 1, 1, 1})}),
                                                     Box("stsz", {Table(count, sizes, {0, 0})}),
                                                     Box("stco", {Table(count, offsets, {0})})})})})});
}

// As the muxer lays it out: ftyp, free, mdat (with `media` bytes), moov.
struct Built {
  Bytes file;
  std::vector<Sample> video, audio;
};

Built Build(std::size_t media, const Bytes& videoEntry) {
  Built built;
  built.file = Box("ftyp", {Bytes{'3', 'g', 'p', '4', 0,   0,   2,   0,   '3', 'g',
                                  'p', '4', 'i', 's', 'o', 'm', 'i', 's', 'o', '2'}});
  Append(built.file, 8, 4);
  built.file.insert(built.file.end(), {'f', 'r', 'e', 'e'});
  const auto mediaAt = static_cast<std::uint32_t>(built.file.size() + 8);
  Append(built.file, media + 8, 4);
  built.file.insert(built.file.end(), {'m', 'd', 'a', 't'});
  for (std::size_t i = 0; i < media; ++i) built.file.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
  // Pictures spread over the media, so the move crosses its piece boundaries; AMR frames of mode 1
  // (5.15 kbit/s: a header of FT 1, Q 1 and 13 bytes).
  for (std::uint32_t i = 0; i < 6; ++i)
    built.video.push_back({mediaAt + i * static_cast<std::uint32_t>(media / 6), 500 + i});
  for (std::uint32_t i = 0; i < 4; ++i) {
    const Sample frame{mediaAt + 600 + i * static_cast<std::uint32_t>(media / 5), 14};
    built.file[frame.offset] = 0x0C;
    built.audio.push_back(frame);
  }
  Bytes samr(28, 0);
  const Bytes damr = Box("damr", {Bytes{'F', 'F', 'M', 'P', 0, 0x81, 0xFF, 0, 1}});
  samr.insert(samr.end(), damr.begin(), damr.end());
  const Bytes moov =
      Box("moov", {Box("mvhd", {Bytes(100, 0)}), Track("vide", 15000, 1001, built.video, videoEntry),
                   Track("soun", 8000, 160, built.audio, Box("samr", {samr}))});
  built.file.insert(built.file.end(), moov.begin(), moov.end());
  return built;
}

Bytes H263Entry() {
  Bytes fields(78, 0);
  const Bytes d263 = Box("d263", {Bytes{'F', 'F', 'M', 'P', 0, 10, 0}});
  fields.insert(fields.end(), d263.begin(), d263.end());
  return Box("s263", {fields});
}

std::uint64_t Big(const Bytes& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
  return value;
}

std::string TopLevel(const Bytes& file) {
  std::string types;
  for (std::size_t at = 0; at + 8 <= file.size(); at += Big(file, at, 4))
    types += std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                         file.begin() + static_cast<std::ptrdiff_t>(at + 8)) +
             " ";
  return types;
}

TEST(StreamOrder, TheMovieBoxMovesFirstAndEveryChunkFollowsItsBytes) {
  const Built built = Build(std::size_t{5} << 20 | 12345, H263Entry());
  MemoryOutput file(built.file);
  ContainerFacts facts;
  facts.h263Level = 45;
  PutInStreamingOrder(file, facts);
  const Bytes& out = file.Contents();
  EXPECT_EQ(TopLevel(out), "ftyp moov mdat ");
  EXPECT_EQ(out.size(), built.file.size() - 8 - 4);  // the free box and FFmpeg's third brand are gone
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 24),
            (Bytes{0, 0, 0, 24, 'f', 't', 'y', 'p', '3', 'g', 'p', '4',
                   0, 0, 2, 0,  '3', 'g', 'p', '4', 'i', 's', 'o', 'm'}));
  const std::size_t movieSize = Big(out, 24, 4);
  const Bytes movie(out.begin() + 24, out.begin() + 24 + static_cast<std::ptrdiff_t>(movieSize));
  const std::vector<TrackTables> tracks = ReadMovieTables(movie);
  ASSERT_EQ(tracks.size(), 2u);
  const std::vector<Sample>* before[] = {&built.video, &built.audio};
  for (std::size_t t = 0; t < 2; ++t) {
    ASSERT_EQ(tracks[t].chunkOffsets.size(), before[t]->size());
    for (std::size_t i = 0; i < before[t]->size(); ++i) {
      const Sample& old = (*before[t])[i];
      const std::size_t now = tracks[t].chunkOffsets[i];
      ASSERT_LE(now + old.size, out.size());
      EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(now),
                             out.begin() + static_cast<std::ptrdiff_t>(now + old.size),
                             built.file.begin() + old.offset))
          << "track " << t << " chunk " << i;
    }
  }
  // The whole media box, not only its samples, arrives intact.
  const std::size_t mediaBefore = 36;
  const std::size_t mediaAfter = 24 + movieSize;
  ASSERT_EQ(out.size() - mediaAfter, built.file.size() - movieSize - mediaBefore);
  EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(mediaAfter), out.end(),
                         built.file.begin() + static_cast<std::ptrdiff_t>(mediaBefore)));
  EXPECT_EQ(movie.at(tracks[0].d263.body + 5), 45);
  EXPECT_EQ(Big(movie, tracks[1].damr.body + 5, 2), 0x0002u);
  EXPECT_EQ(Big(movie, tracks[1].damr.body + 7, 1), 0u);  // mode_change_period untouched
}

TEST(StreamOrder, TheEsdsGetsThePeakSecondTheAverageAndTheLargestVop) {
  TrackTables track;
  track.timescale = 1000;
  track.sampleDurations.assign(20, 100);
  track.sampleSizes.assign(20, 100);
  track.sampleSizes[10] = track.sampleSizes[11] = 1000;
  const VideoRates rates = MeasureVideoRates(track);
  EXPECT_EQ(rates.largestSample, 1000u);
  EXPECT_EQ(rates.peakPerSecond, (2 * 1000 + 8 * 100) * 8u);  // ten samples start within a second
  EXPECT_EQ(rates.average, (18 * 100 + 2 * 1000) * 8u / 2);

  // ES_Descriptor with 4-byte sizes as FFmpeg writes them, then the DecoderConfigDescriptor.
  Bytes esds = Words({0});
  esds.insert(esds.end(), {0x03, 0x80, 0x80, 0x80, 25, 0, 1, 0, 0x04, 0x80, 0x80, 0x80, 13, 0x20, 0x11});
  Append(esds, 0, 3);
  Append(esds, 20000, 4);  // a declared maximum below the peak
  Append(esds, 20000, 4);
  Bytes fields(78, 0);
  const Bytes box = Box("esds", {esds});
  fields.insert(fields.end(), box.begin(), box.end());
  Built built = Build(4096, Box("mp4v", {fields}));
  MemoryOutput file(built.file);
  PutInStreamingOrder(file, ContainerFacts{});
  const Bytes& out = file.Contents();
  const Bytes movie(out.begin() + 24, out.begin() + 24 + static_cast<std::ptrdiff_t>(Big(out, 24, 4)));
  const TrackTables video = ReadMovieTables(movie).at(0);
  const std::size_t config = video.esds.body + 4 + 5 + 3 + 5 + 2;
  EXPECT_EQ(Big(movie, config, 3), 505u);  // the largest of 500..505
  const VideoRates measured = MeasureVideoRates(video);
  EXPECT_EQ(Big(movie, config + 3, 4), measured.peakPerSecond);
  EXPECT_EQ(Big(movie, config + 7, 4), measured.average);
  EXPECT_GT(measured.peakPerSecond, 20000u);
}

TEST(StreamOrder, HoursOfSoundInOneSizeFitAFewBytesOfTable) {
  // A sound-only file: every frame the same size, so the tables are far smaller than the count.
  constexpr std::uint32_t kFrames = 180000;
  Bytes hdlr = Words({0, 0});
  hdlr.insert(hdlr.end(), {'s', 'o', 'u', 'n'});
  Append(hdlr, 0, 12);
  const Bytes moov = Box(
      "moov",
      {Box("trak",
           {Box("mdia", {Box("mdhd", {Words({0, 0, 0, 8000, kFrames * 160, 0})}), Box("hdlr", {hdlr}),
                         Box("minf", {Box("stbl", {Box("stsd", {Words({0, 1}), Box("samr", {Bytes(28, 0)})}),
                                                   Box("stts", {Words({0, 1, kFrames, 160})}),
                                                   Box("stsc", {Words({0, 1, 1, kFrames, 1})}),
                                                   Box("stsz", {Words({0, 14, kFrames})}),
                                                   Box("stco", {Words({0, 1, 36})})})})})})});
  ASSERT_LT(moov.size(), 400u);
  const std::vector<TrackTables> tracks = ReadMovieTables(moov);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].sampleSizes.size(), kFrames);
  EXPECT_EQ(tracks[0].sampleDurations.size(), kFrames);
}

TEST(StreamOrder, ALayoutItDoesNotKnowIsRefusedUntouched) {
  const Built good = Build(2048, H263Entry());
  std::vector<Bytes> wrong;
  wrong.push_back(Bytes(good.file.begin() + 28, good.file.end()));  // no ftyp
  Bytes twice = good.file;
  twice.insert(twice.end(), {0, 0, 0, 8, 'm', 'd', 'a', 't'});
  wrong.push_back(twice);
  Bytes cut = good.file;
  cut.resize(cut.size() - 3);
  wrong.push_back(cut);
  Bytes strange = good.file;
  strange.insert(strange.end(), {0, 0, 0, 8, 'u', 'u', 'i', 'd'});
  wrong.push_back(strange);
  for (const Bytes& bytes : wrong) {
    MemoryOutput file(bytes);
    EXPECT_THROW(PutInStreamingOrder(file, ContainerFacts{}), MalformedBox);
    EXPECT_EQ(file.Contents(), bytes);
  }
}

TEST(StreamOrder, AFailedWriteIsAnErrorNotAQuietlyBrokenFile) {
  MemoryOutput file(Build(std::size_t{3} << 20, H263Entry()).file);
  file.LimitWrites(std::int64_t{1} << 20);
  try {
    PutInStreamingOrder(file, ContainerFacts{});
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), ENOSPC);
  }
}

}  // namespace
}  // namespace conv
