// The encoder's decisions that need no media: option values, picture placement, frame choice.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bounded_queue.h"
#include "geometry.h"
#include "levels/phone_levels.h"
#include "options.h"
#include "picture_clock.h"
#include "rate_bucket.h"
#include "shrink.h"
#include "timeline.h"

namespace conv {
namespace {

TEST(Options, TheWindowsLineInAnyOrder) {
  const std::vector<std::string> line{"-i",        "D:\\Clips\\beach trip.avi",
                                      "-b",        "120k",
                                      "-y",        "-r",
                                      "14.985",    "-s",
                                      "176x144",   "-acodec",
                                      "libamr_nb", "-ar",
                                      "8000",      "-ac",
                                      "1",         "-ab",
                                      "5.15k",     "C:\\out\\beach trip.3gp"};
  ParseResult parsed = ParseOptions(line);
  ASSERT_TRUE(parsed.options) << parsed.error;
  const EncodeOptions& o = *parsed.options;
  EXPECT_EQ(o.input, "D:\\Clips\\beach trip.avi");
  EXPECT_EQ(o.output, "C:\\out\\beach trip.3gp");
  EXPECT_TRUE(o.overwrite);
  EXPECT_EQ(o.videoBitrate, 120000);
  EXPECT_EQ(o.frameRate, (Rational{15000, 1001}));
  EXPECT_EQ(o.width, 176);
  EXPECT_EQ(o.height, 144);
  EXPECT_EQ(o.audioBitrate, 5150);

  ParseResult shuffled = ParseOptions({"out.3gp", "-s", "352x288", "-i", "-odd.avi", "-ab", "12.2k"});
  ASSERT_TRUE(shuffled.options) << shuffled.error;
  EXPECT_EQ(shuffled.options->input, "-odd.avi");
  EXPECT_EQ(shuffled.options->output, "out.3gp");
  EXPECT_EQ(shuffled.options->width, 352);
  EXPECT_FALSE(shuffled.options->overwrite);
  EXPECT_EQ(shuffled.options->audioBitrate, 12200);

  ParseResult dashed = ParseOptions({"-i", "a.avi", "--", "-out.3gp"});
  ASSERT_TRUE(dashed.options) << dashed.error;
  EXPECT_EQ(dashed.options->output, "-out.3gp");
  EXPECT_TRUE(ParseOptions({"-h"}).options->help);
}

// The last line names the option, the value as given and what it should be, word for word: the
// window shows it to someone who did not type it.
TEST(Options, EachRefusalSaysWhichOptionAndWhy) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"-i", "", "o.3gp"}, "option -i \"\": the source file name is empty"},
      {{"-i", "a", "-b", "999", "o.3gp"},
       "option -b \"999\": the video bitrate must be a number of at least 1k, like 120k"},
      {{"-i", "a", "-r", "31", "o.3gp"},
       "option -r \"31\": the frame rate must be a number above 0 and at most 30, like 14.985"},
      {{"-i", "a", "-s", "15x16", "o.3gp"},
       "option -s \"15x16\": the frame size must be WxH with even sides from 16 to 4096, like 176x144"},
      {{"-i", "a", "-acodec", "aac", "o.3gp"},
       "option -acodec \"aac\": only AMR narrow-band audio (libamr_nb) can be written"},
      {{"-i", "a", "-ar", "8000.0", "o.3gp"},
       "option -ar \"8000.0\": AMR narrow-band audio is always sampled at 8000 Hz"},
      {{"-i", "a", "-ac", "2", "o.3gp"}, "option -ac \"2\": AMR narrow-band audio always has 1 channel"},
      {{"-i", "a", "-ab", "12.3k", "o.3gp"},
       "option -ab \"12.3k\": the audio bitrate must lie between 4.75k and 12.2k"},
      {{"-i", "a", "-ab", "5k", "-ab", "5k", "o.3gp"}, "option -ab is given twice"},
      {{"-i", "a", "o.3gp", "-s"}, "option -s needs a value"},
      {{"-i", "a", "-S", "cif", "o.3gp"}, "unknown option -S (see -h)"},
      {{"-i", "a", "o.3gp", "p.3gp"}, "more than one output file: \"p.3gp\""},
      {{"-i", "a", ""}, "the output file name is empty"},
      {{"-i", "a", "-"}, "writing to standard output is not supported; give an output file"},
      {{"-y", "o.3gp"}, "no source file given (-i SOURCE)"},
      {{"-i", "a", "--"}, "no output file given (the last argument)"},
  };
  for (const auto& [args, error] : cases) {
    const ParseResult parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options) << error;
    EXPECT_EQ(parsed.error, error);
  }
  // After "--" even an option's name is the output; help ends the reading wherever it stands.
  EXPECT_EQ(ParseOptions({"-i", "a", "--", "-y"}).options->output, "-y");
  EXPECT_FALSE(ParseOptions({"-i", "a", "--", "-y"}).options->overwrite);
  EXPECT_TRUE(ParseOptions({"-i", "", "-help"}).options == std::nullopt);
  EXPECT_TRUE(ParseOptions({"-x", "--help"}).options == std::nullopt);
  EXPECT_TRUE(ParseOptions({"-b", "1k", "--help", "-x"}).options->help);
}

TEST(Options, FrameRatesOfTheNtscFamilyAreExact) {
  EXPECT_EQ(ParseFrameRate("14.985"), (Rational{15000, 1001}));
  EXPECT_EQ(ParseFrameRate("23.975"), (Rational{24000, 1001}));
  EXPECT_EQ(ParseFrameRate("23.976"), (Rational{24000, 1001}));
  EXPECT_EQ(ParseFrameRate("29.97"), (Rational{30000, 1001}));
  EXPECT_EQ(ParseFrameRate("25.0"), (Rational{25, 1}));
  EXPECT_EQ(ParseFrameRate("15"), (Rational{15, 1}));
  EXPECT_EQ(ParseFrameRate("12.5"), (Rational{25, 2}));
  EXPECT_EQ(ParseFrameRate("30000/1001"), (Rational{30000, 1001}));
  EXPECT_EQ(ParseFrameRate("30"), (Rational{30, 1}));
  for (const char* bad : {"0", "-1", "30.5", "abc", "", "25fps", "1e400", "nan", "1/0", "0/5", "0.0000005"}) {
    EXPECT_FALSE(ParseFrameRate(bad)) << bad;
  }
}

TEST(Options, BitratesAndTheNearestAmrMode) {
  EXPECT_EQ(ParseBitrate("120k"), 120000);
  EXPECT_EQ(ParseBitrate("5.15k"), 5150);
  EXPECT_EQ(ParseBitrate("1M"), 1000000);
  EXPECT_EQ(ParseBitrate("12200"), 12200);
  for (const char* bad : {"", "k", "-5k", "0", "12kk", "1.2.3k", "inf"})
    EXPECT_FALSE(ParseBitrate(bad)) << bad;

  EXPECT_EQ(NearestAmrMode(4750), 4750);
  EXPECT_EQ(NearestAmrMode(5000), 5150);
  EXPECT_EQ(NearestAmrMode(7900), 7950);
  EXPECT_EQ(NearestAmrMode(11000), 10200);
  EXPECT_EQ(NearestAmrMode(11500), 12200);
}

TEST(Options, FrameSizesAndTheirCodec) {
  EXPECT_EQ(ParseFrameSize("160x120"), (std::pair{160, 120}));
  EXPECT_EQ(ParseFrameSize("qcif"), (std::pair{176, 144}));
  for (const char* bad :
       {"176", "176x", "x144", "176x144x2", "175x144", "8x8", "8192x8192", "-176x144", "a x b"}) {
    EXPECT_FALSE(ParseFrameSize(bad)) << bad;
  }
  EXPECT_TRUE(IsH263Size(128, 96));
  EXPECT_TRUE(IsH263Size(176, 144));
  EXPECT_TRUE(IsH263Size(352, 288));
  EXPECT_FALSE(IsH263Size(160, 120));
  EXPECT_FALSE(IsH263Size(144, 176));
}

TEST(Geometry, PictureKeepsItsShapeCentredBetweenBars) {
  // 4:3 into 11:9: a 12-line letterbox, its top edge moved 2 lines onto the 8-line block grid.
  EXPECT_EQ(FitPicture(640, 480, 1, 1, 0, 176, 144), (PictureBox{0, 8, 176, 132}));
  // 16:9, stored square or anamorphic: 176x99 rounds to an even 100.
  EXPECT_EQ(FitPicture(1920, 1080, 0, 1, 0, 176, 144), (PictureBox{0, 24, 176, 100}));
  EXPECT_EQ(FitPicture(352, 288, 16, 11, 0, 176, 144), (PictureBox{0, 24, 176, 100}));
  // Portrait, or landscape turned upright: a pillarbox, its 47-column bar split 48 + 46.
  EXPECT_EQ(FitPicture(180, 320, 1, 1, 0, 176, 144), (PictureBox{48, 0, 82, 144}));
  EXPECT_EQ(FitPicture(320, 180, 1, 1, 90, 176, 144), (PictureBox{48, 0, 82, 144}));
  EXPECT_EQ(FitPicture(320, 180, 1, 1, 180, 176, 144), (PictureBox{0, 24, 176, 100}));
  // Exact and nearly exact shapes fill the frame: bars of 2 pixels would only cost bits.
  EXPECT_EQ(FitPicture(352, 288, 1, 1, 0, 176, 144), (PictureBox{0, 0, 176, 144}));
  EXPECT_EQ(FitPicture(178, 144, 1, 1, 0, 176, 144), (PictureBox{0, 0, 176, 144}));
  EXPECT_EQ(FitPicture(720, 576, 12, 11, 0, 176, 144), (PictureBox{0, 8, 176, 130}));
  // The block grid 4 lines off centre is near enough at 288 lines, too far at 96.
  EXPECT_EQ(FitPicture(640, 480, 1, 1, 0, 352, 288), (PictureBox{0, 16, 352, 264}));
  EXPECT_EQ(FitPicture(1920, 1080, 1, 1, 0, 352, 288), (PictureBox{0, 48, 352, 198}));
  EXPECT_EQ(FitPicture(1920, 1080, 1, 1, 0, 128, 96), (PictureBox{0, 12, 128, 72}));
  EXPECT_EQ(FitPicture(640, 480, 1, 1, 0, 160, 120), (PictureBox{0, 0, 160, 120}));
  // A sliver of a picture still gets two lines.
  EXPECT_EQ(FitPicture(4000, 10, 1, 1, 0, 176, 144).height, 2);

  // Every frame size of the window, with landscape, portrait and anamorphic sources, turned or not:
  // inside the frame, centred within a seventy-second of it, on even lines and columns.
  for (auto [w, h] : {std::pair{128, 96}, {160, 120}, {176, 144}, {352, 288}}) {
    for (auto [sw, sh, sar, turn] : {std::tuple{1920, 1080, 1, 0},
                                     {1080, 1920, 1, 0},
                                     {720, 480, 32, 0},
                                     {720, 576, 64, 90},
                                     {640, 480, 1, 270},
                                     {100, 700, 1, 0},
                                     {4000, 10, 1, 0}}) {
      const PictureBox b = FitPicture(sw, sh, sar, sar == 1 ? 1 : 27, turn, w, h);
      SCOPED_TRACE(::testing::Message() << sw << "x" << sh << " into " << w << "x" << h);
      EXPECT_TRUE(b.x % 2 == 0 && b.y % 2 == 0 && b.width % 2 == 0 && b.height % 2 == 0);
      EXPECT_TRUE(b.x >= 0 && b.y >= 0 && b.x + b.width <= w && b.y + b.height <= h);
      EXPECT_LE(std::abs(2 * b.x + b.width - w), 2 * std::max(1, w / 72));
      EXPECT_LE(std::abs(2 * b.y + b.height - h), 2 * std::max(1, h / 72));
    }
  }
}

TEST(Geometry, ReducedDecodingAndSkippedDeblocking) {
  PictureBox qcif43{0, 8, 176, 132};
  PictureBox qcif169{0, 22, 176, 100};
  EXPECT_EQ(LowresLevel(640, 480, 0, qcif43, 2), 1);
  EXPECT_EQ(LowresLevel(320, 240, 0, qcif43, 2), 0);
  EXPECT_EQ(LowresLevel(1920, 1080, 0, qcif169, 2), 2);
  EXPECT_EQ(LowresLevel(1920, 1080, 0, qcif169, 0), 0);
  // Turned upright, the box's width is the source's height.
  EXPECT_EQ(LowresLevel(640, 360, 0, PictureBox{46, 0, 82, 144}, 3), 1);
  EXPECT_EQ(LowresLevel(640, 360, 90, PictureBox{46, 0, 82, 144}, 3), 2);

  EXPECT_EQ(LoopFilterSkipping(1920, 1080, 0, qcif169), 2);
  EXPECT_EQ(LoopFilterSkipping(640, 480, 0, qcif43), 1);
  EXPECT_EQ(LoopFilterSkipping(320, 240, 0, qcif43), 0);

  // A light source leaves the cores to the other stages; a heavy one gets three threads a core,
  // within FFmpeg's ceiling and the memory its pictures may take.
  constexpr int64_t kHdPicture = 1920 * 1080 * 3 / 2;
  EXPECT_EQ(DecoderThreadCount(640.0 * 480 * 25, 460800, 2), 1);
  EXPECT_EQ(DecoderThreadCount(640.0 * 480 * 25, 460800, 8), 6);
  EXPECT_EQ(DecoderThreadCount(1920.0 * 1080 * 30, kHdPicture, 2), 6);
  EXPECT_EQ(DecoderThreadCount(1920.0 * 1080 * 30, kHdPicture, 0), 6);
  EXPECT_EQ(DecoderThreadCount(1920.0 * 1080 * 30, kHdPicture, 32), 16);
  EXPECT_EQ(DecoderThreadCount(1920.0 * 1080 * 30, kHdPicture, 1), 3);
  EXPECT_EQ(DecoderThreadCount(8192.0 * 4352 * 30, int64_t{8192} * 4352 * 4, 8), 1);
  EXPECT_EQ(DecoderThreadCount(3840.0 * 2160 * 30, int64_t{3840} * 2160 * 3 / 2, 8), 5);
}

std::vector<int64_t> Shown(FramePicker& picker, std::vector<int64_t> slots, int64_t end) {
  // For every source frame, which output slots show it.
  std::vector<int64_t> shownBy;
  int frame = -1;
  auto take = [&](FramePicker::Run run) {
    for (int64_t i = 0; i < run.count; ++i) {
      EXPECT_EQ(run.first + i, static_cast<int64_t>(shownBy.size()));
      shownBy.push_back(frame);
    }
  };
  for (int64_t slot : slots) {
    take(picker.Push(slot));
    ++frame;
  }
  take(picker.Finish(end));
  return shownBy;
}

TEST(FramePicker, LastFrameOfEachSlotFillsItAndGapsRepeat) {
  FramePicker halving;
  // 30 fps into 15: frames 0..5 round to slots 0,1,1,2,2,3; the later of each pair is shown.
  EXPECT_EQ(Shown(halving, {0, 1, 1, 2, 2, 3}, 4), (std::vector<int64_t>{0, 2, 4, 5}));
  FramePicker late;
  // The picture starts after the sound: its first frame fills the slots before it.
  EXPECT_EQ(Shown(late, {2, 3, 5}, 6), (std::vector<int64_t>{0, 0, 0, 1, 1, 2}));
  FramePicker early;
  // Frames before the start are replaced by the first one on the grid.
  EXPECT_EQ(Shown(early, {-2, -1, 0, 1}, 2), (std::vector<int64_t>{2, 3}));
  FramePicker single;
  EXPECT_EQ(Shown(single, {0}, 0), (std::vector<int64_t>{0}));
  FramePicker none;
  EXPECT_TRUE(Shown(none, {}, 5).empty());
  EXPECT_TRUE(IsReplaced(3, 3));
  EXPECT_FALSE(IsReplaced(3, 4));
}

TEST(RateBucket, DropsWhatTheSettingCannotCarryAndNoMore) {
  // Frames of 2.5 slots' worth: over 1000 slots the bits stay within one bucket of the budget,
  // and the budget is used, not wasted.
  RateBucket heavy(1000, 10000, 0);
  int64_t spent = 0;
  for (int64_t slot = 0; slot < 1000; ++slot) {
    if (!heavy.Admit(slot)) continue;
    heavy.Spent(2500, slot == 0);
    spent += 2500;
  }
  EXPECT_LE(spent, 1000 * 1000 + 10000);
  EXPECT_GE(spent, 1000 * 1000 - 2500);
  // A key picture larger than the whole bucket gets through, using the head start first, and the small frames
  // after it go on as soon as it has drained, not judged by its size. A quarter of the drain pays the head
  // start back: 20 slots at 750, then 5 at 1000.
  RateBucket keyed(1000, 10000, 5000);
  EXPECT_TRUE(keyed.Admit(0));
  keyed.Spent(35000, true);
  EXPECT_FALSE(keyed.Admit(1));
  EXPECT_FALSE(keyed.Admit(24));
  EXPECT_TRUE(keyed.Admit(25));
  keyed.Spent(500, false);
  EXPECT_TRUE(keyed.Admit(26));
  // Frames within the setting are never dropped; a bucket without a setting takes everything.
  RateBucket light(1000, 10000, 0), unset;
  for (int64_t slot = 0; slot < 100; ++slot) {
    EXPECT_TRUE(light.Admit(slot));
    light.Spent(900, false);
    EXPECT_TRUE(unset.Admit(slot));
    unset.Spent(1 << 20, false);
  }
}

TEST(RateBucket, AFrameTooLargeForItsWindowIsShownOnceTheWindowHasRoom) {
  // A window of 10 slots holding at most 10000 bits.
  PeakWindow peaks(10, 10000);
  EXPECT_EQ(peaks.Place(0, 3000), 0);
  EXPECT_EQ(peaks.Place(4, 3000), 4);
  // 6000 held: a frame of 5000 waits until slot 0 has left the window, not for slot 4.
  EXPECT_EQ(peaks.Place(5, 5000), 10);
  // One larger than the whole window waits until the window is empty, then goes through.
  EXPECT_EQ(peaks.Place(11, 20000), 20);
  EXPECT_EQ(peaks.Place(30, 100), 30);
  PeakWindow unlimited;
  EXPECT_EQ(unlimited.Place(7, 1 << 30), 7);
}

TEST(RateBucket, ALevelsBufferTakesAPictureOnceEnoughHasDrained) {
  // 100 bits leave per slot; 1000 are held at most.
  LevelBucket bucket(100, 1000);
  EXPECT_EQ(bucket.Earliest(0, 900), 0);
  bucket.Add(0, 900);
  // 900 held: 600 more need 500 to leave first, five slots.
  EXPECT_EQ(bucket.Earliest(1, 600), 5);
  bucket.Add(5, 600);
  EXPECT_EQ(bucket.Earliest(6, 100), 6);
  EXPECT_FALSE(bucket.Overflowed());
  // Larger than the whole buffer: it waits for an empty buffer and is known to overflow.
  EXPECT_EQ(bucket.Earliest(6, 5000), 15);
  bucket.Add(15, 5000);
  EXPECT_TRUE(bucket.Overflowed());
  LevelBucket unlimited;
  EXPECT_EQ(unlimited.Earliest(3, 1 << 30), 3);
}

TEST(PhoneLevels, TheLowestLevelThatAdmitsTheSettings) {
  using namespace vintrel::levels;
  const FrameRate ntsc15{15000, 1001}, ntsc30{30000, 1001}, pal{25, 1};
  auto name = [](int w, int h, FrameRate rate, int64_t bits) {
    const auto level = LevelFor(w, h, rate, bits);
    return level ? LevelName(*level) : std::string("none");
  };
  EXPECT_EQ(name(176, 144, ntsc15, 64000), "H.263 Profile 0 Level 10");
  EXPECT_EQ(name(128, 96, ntsc15, 40000), "H.263 Profile 0 Level 10");
  // Over 64 kbit/s at up to 15 pictures a second: Level 45 for QCIF; faster: Level 20.
  EXPECT_EQ(name(176, 144, pal, 40000), "H.263 Profile 0 Level 20");
  EXPECT_EQ(name(176, 144, ntsc15, 120000), "H.263 Profile 0 Level 45");
  EXPECT_EQ(name(176, 144, ntsc30, 256000), "H.263 Profile 0 Level 30");
  // CIF: Level 20 at half the picture clock, 30 beyond it, 40 beyond 384 kbit/s.
  EXPECT_EQ(name(352, 288, ntsc15, 120000), "H.263 Profile 0 Level 20");
  EXPECT_EQ(name(352, 288, ntsc30, 40000), "H.263 Profile 0 Level 30");
  EXPECT_EQ(name(352, 288, ntsc15, 512000), "H.263 Profile 0 Level 40");
  EXPECT_EQ(name(704, 576, ntsc15, 512000), "none");
  EXPECT_EQ(name(176, 144, FrameRate{30, 1}, 40000), "none");
  // 160x120 is 80 macroblocks: 1199 a second at 14.985 fps, 2398 at 29.97.
  EXPECT_EQ(name(160, 120, ntsc15, 120000), "MPEG-4 Simple Profile Level 0b");
  EXPECT_EQ(name(160, 120, ntsc30, 120000), "MPEG-4 Simple Profile Level 2");
  EXPECT_EQ(name(160, 120, ntsc30, 256000), "MPEG-4 Simple Profile Level 3");
  EXPECT_EQ(name(160, 120, ntsc15, 512000), "MPEG-4 Simple Profile Level 4a");
  EXPECT_EQ(LevelFor(160, 120, ntsc15, 40000)->code, 0x09);
  EXPECT_EQ(HighestLevel(Codec::H263).code, 40);
}

TEST(PhoneLevels, WhatAStreamOfALevelKeepsTo) {
  using namespace vintrel::levels;
  const Limits qcif = LimitsOf(*LevelFor(176, 144, {30000, 1001}, 128000), 176, 144);
  EXPECT_EQ(qcif.bitsPerSecond, 128000);
  EXPECT_EQ(qcif.pictureBits, 64 * 1024);
  // 4 * 128000 / 29.97 + 64 * 1024, rounded down.
  EXPECT_EQ(qcif.bufferBits, 17083 + 65536);
  const Limits cif = LimitsOf(*LevelFor(352, 288, {15000, 1001}, 40000), 352, 288);
  EXPECT_EQ(cif.pictureBits, 256 * 1024);
  const Limits mpeg4 = LimitsOf(*LevelFor(160, 120, {30000, 1001}, 120000), 160, 120);
  EXPECT_EQ(mpeg4.bufferBits, 40 * 16384);
  EXPECT_EQ(mpeg4.pictureBits, mpeg4.bufferBits);
}

TEST(PictureClock, TheTemporalReferenceIsThePacketsTimeInTicks) {
  // Slots of 1001/15000 s are two ticks, of 1/25 s 1.2 ticks, rounded to the nearest.
  EXPECT_EQ(PictureClockTicks(7, 1001, 15000), 14);
  EXPECT_EQ(PictureClockTicks(3, 1, 25), 4);
  EXPECT_EQ(PictureClockTicks(2, 1, 25), 2);
  EXPECT_EQ(PictureClockTicks(0, 1001, 30000), 0);
  // A picture start code, TR 5, then PTYPE's first two bits (1, 0) and more of the header.
  uint8_t header[] = {0x00, 0x00, 0x80, (5 << 2) | 0x02, 0x1C, 0xAA};
  EXPECT_EQ(ReadTemporalReference(header, sizeof header), 5);
  ASSERT_TRUE(StampTemporalReference(header, sizeof header, 256 + 0xC3));
  EXPECT_EQ(ReadTemporalReference(header, sizeof header), 0xC3);
  EXPECT_EQ(header[2], 0x83);
  EXPECT_EQ(header[3], ((0xC3 << 2) & 0xFF) | 0x02);
  EXPECT_EQ(header[4], 0x1C);
  // Not a picture header: nothing is written.
  uint8_t other[] = {0x00, 0x00, 0x01, 0xB6, 0x10};
  EXPECT_FALSE(StampTemporalReference(other, sizeof other, 9));
  EXPECT_EQ(other[3], 0xB6);
  EXPECT_FALSE(StampTemporalReference(header, 3, 9));
  EXPECT_EQ(ReadTemporalReference(other, sizeof other), -1);
}

TEST(Timeline, AJumpPastTheLengthIsABreakAndSumsSaturate) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(SaturatingAdd(kMax - 1, 5), kMax);
  EXPECT_EQ(SaturatingSub(5, kMin), kMax);
  EXPECT_EQ(SaturatingSub(kMin + 1, 5), kMin);
  // A 60 s file at 10 units a second: a 40 s hold inside its length stands while the sound goes
  // on (a still picture); past the length, or far back, the stream goes on where it was, and so
  // do the frames after.
  auto content = std::make_shared<ContentMap>();
  content->Note(ContentMap::kAudio, 33, 45);
  content->Note(ContentMap::kAudio, 0, 30);  // out of order, and 3 s apart: one span
  const TimeLimits limits{60, content};
  Timeline known(limits, 10, ContentMap::kVideo);
  for (auto [time, expected, placed] : {std::tuple{0L, 0L, 0L},
                                        {400, 1, 400},
                                        {kMax, 401, 401},
                                        {kMax, 402, 401},
                                        {10, 402, 402},
                                        {11, 403, 403}})
    EXPECT_EQ(known.Place(time, expected), placed) << time;
  // Where no other stream has content, a long step is a break whatever the declared length.
  Timeline beyond(limits, 10, ContentMap::kVideo);
  EXPECT_EQ(beyond.Place(520, 1), 1);
  Timeline alone(limits, 10, ContentMap::kAudio);
  EXPECT_EQ(alone.Place(400, 1), 1);
  content->Note(ContentMap::kVideo, 0, 1);
  content->Note(ContentMap::kVideo, 100, 101);
  EXPECT_FALSE(content->OthersCover(ContentMap::kAudio, 0, 101));
  content->Note(ContentMap::kVideo, 4, 98);
  EXPECT_TRUE(content->OthersCover(ContentMap::kAudio, 0, 101));
  // Without a length, any long step is a break.
  Timeline unknown(TimeLimits{-1, content}, 10, ContentMap::kVideo);
  EXPECT_EQ(unknown.Place(100, 0), 0);
  EXPECT_EQ(unknown.Place(140, 1), 40);
}

TEST(Shrink, AveragesBlocksAndRepeatsTheEdge) {
  const uint8_t source[3 * 4] = {0,   10,  20, 0,  //
                                 2,   12,  22, 0,  //
                                 100, 200, 7,  0};
  uint8_t target[2 * 2] = {};
  ShrinkPlane(source, 4, 3, 3, 2, target, 2, 2, 2);
  EXPECT_EQ(target[0], (0 + 10 + 2 + 12 + 2) / 4);
  EXPECT_EQ(target[1], (20 + 20 + 22 + 22 + 2) / 4);
  EXPECT_EQ(target[2], (100 + 200 + 100 + 200 + 2) / 4);
  EXPECT_EQ(target[3], 7);

  // By four, the last column repeated past the edge.
  const uint8_t column[5] = {0, 16, 32, 48, 200};
  uint8_t wide[4 * 5];
  for (int i = 0; i < 4 * 5; ++i) wide[i] = column[i % 5];
  uint8_t quarter[2] = {};
  ShrinkPlane(wide, 5, 5, 4, 4, quarter, 2, 2, 1);
  EXPECT_EQ(quarter[0], (0 + 16 + 32 + 48) / 4);
  EXPECT_EQ(quarter[1], 200);
}

TEST(BoundedQueue, SmallItemsQueueDeeperThanLargeOnesAndTheProducerWaitsAtTheBound) {
  using namespace std::chrono_literals;
  // Held back: still waiting after a while, through only once an item leaves.
  auto heldBack = [](BoundedQueue<int>& queue, int item, size_t bytes) {
    auto push = std::async(std::launch::async, [&queue, item, bytes] { return queue.Push(item, bytes); });
    EXPECT_EQ(push.wait_for(50ms), std::future_status::timeout);
    EXPECT_EQ(queue.Pop(), 0);
    EXPECT_TRUE(push.get());
  };
  BoundedQueue<int> large({2, 8, 100});
  EXPECT_TRUE(large.Push(0, 60));
  EXPECT_TRUE(large.Push(1, 60));  // the floor takes it whatever its size
  heldBack(large, 2, 1);

  BoundedQueue<int> small({2, 4, 100});
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(small.Push(i, 10));
  heldBack(small, 4, 10);  // the count caps small items
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(small.Pop(), i);
  small.Close();
  EXPECT_EQ(small.Pop(), std::nullopt);

  // A consumer woken in batches still gets a tail shorter than its batch, and a full queue wakes
  // it even when the batch is more than the queue holds.
  for (QueueBounds bounds : {QueueBounds{4, 16, 100, 8}, QueueBounds{1, 2, 100, 8}}) {
    BoundedQueue<int> batched(bounds);
    auto consumer = std::async(std::launch::async, [&batched] {
      std::vector<int> got;
      while (auto item = batched.Pop()) got.push_back(*item);
      return got;
    });
    auto producer = std::async(std::launch::async, [&batched] {
      for (int i = 0; i < 5; ++i) batched.Push(i, 1);
      batched.Close();
    });
    bool done = consumer.wait_for(5s) == std::future_status::ready;
    if (!done) batched.Abort();  // lets both threads go, so the failure is reported, not hung
    EXPECT_TRUE(done) << "capacity " << bounds.capacity;
    producer.get();
    EXPECT_EQ(consumer.get(), (std::vector<int>{0, 1, 2, 3, 4}));
  }
}

}  // namespace
}  // namespace conv
