// conv.exe's files held against our own conformance reader: each rule, broken on purpose in an
// otherwise good file, is reported under its own name and no other; encodes of hard content
// across the window's settings conform; mediainfo and GStreamer read them without complaint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "conformance_reader.h"
#include "conformance_video.h"
#include "conv_support.h"

namespace convtest {
namespace {

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void PutBig(Bytes& bytes, std::size_t at, int width, std::uint64_t value) {
  for (int i = width - 1; i >= 0; --i, value >>= 8) bytes.at(at + static_cast<std::size_t>(i)) = value & 0xFF;
}

// Two good files made once, both 14.985 fps and 10 s long: H.263 at 128x96, 40 kbit/s, of still
// pictures, so no frame is dropped and the lowest level holds; MPEG-4 at 160x120, 56 kbit/s, of
// moving ones, so its VOPs carry bits to move about.
struct GoodFiles {
  TempDir dir;
  std::string h263;
  std::string mpeg4;
};

std::string Encode(const GoodFiles& files, const std::string& picture, const char* size, const char* kbit) {
  std::vector<std::string> args = {"-f", "lavfi", "-i", picture + "=size=320x240:rate=25:duration=10"};
  for (const std::string& arg : TestTone(10)) args.push_back(arg);
  for (const char* arg : {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", "-shortest"})
    args.push_back(arg);
  const std::string source = Clip("conformance-" + picture + ".avi", args);
  Settings settings;
  settings.frameSize = size;
  settings.videoBitrate = kbit;
  const std::string path = files.dir.Path(std::string(size) + ".3gp");
  const RunResult run = RunConv(WindowArgs(source, path, settings));
  if (run.exitCode != 0) ADD_FAILURE() << run.output;
  return path;
}

const GoodFiles& Good() {
  static const std::unique_ptr<GoodFiles> files = [] {
    auto made = std::make_unique<GoodFiles>();
    made->h263 = Encode(*made, "smptebars", "128x96", "40");
    made->mpeg4 = Encode(*made, "testsrc2", "160x120", "56");
    return made;
  }();
  return *files;
}

ConformanceOptions Steady() {
  ConformanceOptions options;
  options.frameRate = 15000.0 / 1001;
  options.framesDropped = false;
  return options;
}

// The still H.263 file drops nothing; the moving MPEG-4 one may.
ConformanceOptions For(const Bytes& file) {
  ConformanceOptions options = Steady();
  try {
    const auto boxes = ReadBoxes(file);
    const TrackBoxes* video = boxes.Track("vide");
    if (video && video->sampleEntry != "s263") options.framesDropped.reset();
  } catch (const Unreadable&) {
  }
  return options;
}

std::vector<std::string> BrokenRules(const Bytes& file) {
  return CheckConformance(file, For(file)).BrokenRules();
}

TrackBoxes VideoOf(const Bytes& file) {
  return *ReadBoxes(file).Track("vide");
}

using Rules = std::vector<std::string>;

TEST(Conformance, TheGoodFilesConformToEveryRule) {
  for (const std::string& path : {Good().h263, Good().mpeg4}) {
    const Bytes file = ReadBytes(path);
    const ConformanceReport report = CheckConformance(file, For(file));
    EXPECT_TRUE(report.broken.empty()) << path << "\n" << report.Text();
    EXPECT_GE(report.checked.size(), 9u) << path;
  }
}

TEST(Conformance, MediaAfterTheMovieBoxBreaksOnlyMoovFirst) {
  const Bytes file = ReadBytes(Good().h263);
  const FileBoxes boxes = ReadBoxes(file);
  ASSERT_EQ(boxes.top.size(), 3u);
  ASSERT_EQ(boxes.top[1].type, "moov");
  const TopLevelBox ftyp = boxes.top[0], moov = boxes.top[1], mdat = boxes.top[2];
  Bytes moved(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(ftyp.size));
  moved.insert(moved.end(), file.begin() + static_cast<std::ptrdiff_t>(mdat.offset), file.end());
  const std::size_t movieAt = moved.size();
  moved.insert(moved.end(), file.begin() + static_cast<std::ptrdiff_t>(moov.offset),
               file.begin() + static_cast<std::ptrdiff_t>(moov.offset + moov.size));
  // Every chunk offset follows the media back by the movie box's size.
  for (std::size_t at = movieAt; at + 8 < moved.size(); ++at) {
    if (std::memcmp(&moved[at], "stco", 4) != 0) continue;
    const std::size_t count = ReadBig(moved, at + 8, 4);
    for (std::size_t i = 0; i < count; ++i)
      PutBig(moved, at + 12 + i * 4, 4, ReadBig(moved, at + 12 + i * 4, 4) - moov.size);
  }
  EXPECT_EQ(BrokenRules(moved), Rules{rule::kMovieFirst});
}

TEST(Conformance, AnotherMajorBrandBreaksOnlyTheBrands) {
  Bytes file = ReadBytes(Good().h263);
  std::memcpy(&file[8], "mp42", 4);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kBrands});
  file = ReadBytes(Good().h263);
  ASSERT_EQ(std::string(file.begin() + 20, file.begin() + 24), "isom");
  std::memcpy(&file[20], "iso2", 4);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kBrands});
}

TEST(Conformance, EveryAmrModeDeclaredBreaksOnlyTheModeSet) {
  Bytes file = ReadBytes(Good().h263);
  const TrackBoxes audio = *ReadBoxes(file).Track("soun");
  ASSERT_EQ(audio.amrModeSet, 0x0002);  // 5.15 kbit/s is mode 1
  PutBig(file, audio.amrModeSetAt, 2, 0x81FF);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kAmrModes});
}

TEST(Conformance, AnUnderstatedPeakOrBufferBreaksOnlyTheEsds) {
  for (std::size_t field : {0u, 3u, 7u}) {
    Bytes file = ReadBytes(Good().mpeg4);
    const EsdsFields esds = *VideoOf(file).esds;
    PutBig(file, esds.fieldsAt + field, field == 0 ? 3 : 4, 1000);
    EXPECT_EQ(BrokenRules(file), Rules{rule::kEsdsRates}) << "field at " << field;
  }
}

TEST(Conformance, SamplesShorterThanAFrameBreakOnlyTheTiming) {
  Bytes file = ReadBytes(Good().h263);
  const TrackBoxes video = VideoOf(file);
  ASSERT_EQ(video.timeEntries, 1u);
  ASSERT_EQ(ReadBig(file, video.timesAt + 4, 4), 1001u);
  // A few milliseconds over the whole file: within a tick of the pictures' own times.
  PutBig(file, video.timesAt + 4, 4, 1000);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kTiming});
}

TEST(Conformance, TemporalReferencesAheadOfTheTrackBreakOnlyThePictureTime) {
  Bytes file = ReadBytes(Good().h263);
  const TrackBoxes video = VideoOf(file);
  for (std::size_t i = 30; i < video.sizes.size(); ++i) {
    const std::size_t at = video.offsets[i];
    const int tr = ((file[at + 2] & 3) << 6 | file[at + 3] >> 2) + 2;
    file[at + 2] = static_cast<std::uint8_t>((file[at + 2] & 0xFC) | ((tr >> 6) & 3));
    file[at + 3] = static_cast<std::uint8_t>((file[at + 3] & 3) | (tr & 0x3F) << 2);
  }
  EXPECT_EQ(BrokenRules(file), Rules{rule::kPictureTime});
}

TEST(Conformance, APictureOverBppMaxKbBreaksOnlyThePictureBits) {
  Bytes file = ReadBytes(Good().h263);
  const TrackBoxes video = VideoOf(file);
  PutBig(file, video.sizesAt + 1 * 4, 4, 65536 / 8 + 100);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kPictureBits});
}

TEST(Conformance, SmallPicturesPilingUpBreakOnlyTheAnnexBBuffer) {
  Bytes file = ReadBytes(Good().h263);
  const TrackBoxes video = VideoOf(file);
  ASSERT_GE(video.sizes.size(), 140u);
  // Tiny pictures for three quarters of the file, then a few large ones, about 40 kbit/s in all:
  // the channel brings the large ones' bits long before their time. A free box at the end holds
  // their bytes.
  const std::size_t tiny = video.sizes.size() * 3 / 4;
  constexpr std::uint32_t kTiny = 12;
  constexpr std::uint32_t kLarge = 4000;  // under BPPmaxKb
  constexpr std::uint32_t kSpare = 64 * 1024;
  Bytes spare(kSpare, 0);
  PutBig(spare, 0, 4, kSpare);
  spare[4] = 'f', spare[5] = 'r', spare[6] = 'e', spare[7] = 'e';
  file.insert(file.end(), spare.begin(), spare.end());
  std::uint64_t left = 48000;
  for (std::size_t i = 0; i < video.sizes.size(); ++i) {
    std::uint32_t size = kTiny;
    if (i >= tiny && left > 0) {
      size = static_cast<std::uint32_t>(std::min<std::uint64_t>(kLarge, left));
      left -= size;
    }
    PutBig(file, video.sizesAt + i * 4, 4, size);
  }
  EXPECT_EQ(BrokenRules(file), Rules{rule::kH263Buffer});
}

TEST(Conformance, ThreeLargeVopsInARowBreakOnlyTheVbv) {
  Bytes file = ReadBytes(Good().mpeg4);
  const TrackBoxes video = VideoOf(file);
  ASSERT_GE(video.sizes.size(), 140u);
  std::uint64_t total = 0;
  for (std::uint32_t size : video.sizes) total += size;
  // The same bytes in all, so the average and the level stay; the esds is told the new peak.
  const std::uint32_t large = 16000;  // three of them overfill Level 0b's VBV (20 x 16384 bits)
  const auto rest = static_cast<std::uint32_t>((total - 3 * large) / (video.sizes.size() - 3));
  for (std::size_t i = 0; i < video.sizes.size(); ++i)
    PutBig(file, video.sizesAt + i * 4, 4, i >= 60 && i < 63 ? large : rest);
  PutBig(file, video.esds->fieldsAt, 3, 0xFFFFFF);
  PutBig(file, video.esds->fieldsAt + 3, 4, 0xFFFFFFFF);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kMpeg4Buffer});
}

TEST(Conformance, ALevelNoTableKnowsBreaksOnlyTheDeclaredLevel) {
  Bytes file = ReadBytes(Good().h263);
  PutBig(file, VideoOf(file).h263LevelAt, 1, 11);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kDeclaredLevel});
  // A table handed in by the caller decides instead of the reader's own.
  ConformanceOptions options = Steady();
  options.levels = [](const VideoFacts&) { return LevelLimits{64000, 0, "refused by the caller's table"}; };
  EXPECT_EQ(CheckConformance(ReadBytes(Good().h263), options).BrokenRules(), Rules{rule::kDeclaredLevel});
}

TEST(Conformance, TheLevelTablesRefuseWhatTheLevelCannotCarry) {
  VideoFacts cif{true, 352, 288, 10, 2002.0 / 30000, 40000, 10, {}, {}};
  ASSERT_TRUE(BuiltInLevel(cif));
  EXPECT_EQ(BuiltInLevel(cif)->refusal, "the picture is larger than the level allows");
  cif.declaredLevel = 20;
  EXPECT_EQ(BuiltInLevel(cif)->refusal, "");
  cif.shortestInterval = 1001.0 / 30000;  // 29.97 fps at CIF needs level 30
  EXPECT_NE(BuiltInLevel(cif)->refusal, "");
  VideoFacts qcif{true, 176, 144, 10, 2002.0 / 30000, 100000, 10, {}, {}};
  EXPECT_EQ(BuiltInLevel(qcif)->refusal, "the bitrate is above the level's Rmax");
  qcif.declaredLevel = 45;
  EXPECT_EQ(BuiltInLevel(qcif)->refusal, "");
  EXPECT_EQ(BuiltInLevel(qcif)->maxBitrate, 128000);
  VideoFacts small{false, 160, 120, 0x01, 1001.0 / 30000, 40000, 10, {}, {}};
  EXPECT_EQ(BuiltInLevel(small)->refusal, "more macroblocks per second than the level allows");
  small.declaredLevel = 0x02;
  EXPECT_EQ(BuiltInLevel(small)->refusal, "");
  EXPECT_EQ(BuiltInLevel(small)->bufferBits, 40 * 16384);
  small.declaredLevel = 0x07;
  EXPECT_FALSE(BuiltInLevel(small));
}

// Picture times of a 14.985 fps stream: every other tick of the picture clock.
std::vector<double> EveryOther(std::size_t count) {
  std::vector<double> times;
  for (std::size_t i = 0; i < count; ++i) times.push_back(i * 2002.0 / 30000);
  return times;
}

TEST(Conformance, TheBufferModelsCountBitsAsTheyArrive) {
  // 64 kbit/s: one tick brings 2136 bits; B = 4 ticks + 65536 bits.
  EXPECT_EQ(H263BufferOverflow(std::vector<std::uint32_t>(100, 300), EveryOther(100), 36000, 64000, 65536),
            -1);
  EXPECT_EQ(H263BufferOverflow(std::vector<std::uint32_t>(60, 100), EveryOther(60), 64000, 64000, 65536),
            -1);  // all of it fits
  EXPECT_GT(H263BufferOverflow(std::vector<std::uint32_t>(2000, 100), EveryOther(2000), 64000, 64000, 65536),
            0);
  std::vector<double> times;
  for (int i = 0; i < 30; ++i) times.push_back(i / 15.0);
  EXPECT_EQ(Mpeg4BufferUnderflow(std::vector<std::uint32_t>(30, 500), times, 64000, 163840), -1);
  std::vector<std::uint32_t> burst(30, 500);
  burst[10] = burst[11] = burst[12] = 9000;
  EXPECT_EQ(Mpeg4BufferUnderflow(burst, times, 64000, 163840), 12);
}

TEST(Conformance, ABrokenFileIsReportedAsUnreadable) {
  Bytes file = ReadBytes(Good().h263);
  file.resize(file.size() / 2);
  EXPECT_EQ(BrokenRules(file), Rules{rule::kReadable});
  EXPECT_EQ(BrokenRules(Bytes{0, 0, 0, 9, 'f', 't'}), Rules{rule::kReadable});
}

}  // namespace
}  // namespace convtest
