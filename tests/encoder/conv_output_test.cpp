// What conv.exe writes for good sources: container, codecs, sizes, rates, audio modes, picture
// placement and the console lines the window reads.
#include <gtest/gtest.h>
extern "C" {
#include <libavformat/version.h>
}

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "conv_support.h"

namespace convtest {
namespace {

// A 4:3 clip with sound in one of the formats the window's open dialog offers.
struct SourceFormat {
  const char* name;
  std::vector<std::string> codecArgs;
};

void PrintTo(const SourceFormat& format, std::ostream* out) {
  *out << format.name;
}

std::string SourceClip(const SourceFormat& format) {
  std::vector<std::string> args = TestPicture("320x240", 2);
  for (const std::string& arg : TestTone(2)) args.push_back(arg);
  args.insert(args.end(), format.codecArgs.begin(), format.codecArgs.end());
  args.push_back("-shortest");
  return Clip(std::string("source.") + format.name, args);
}

void ExpectQcif3gp(const FileFacts& out, double sourceDuration) {
  EXPECT_EQ(out.format, "mov,mp4,m4a,3gp,3g2,mj2");
  EXPECT_EQ(out.majorBrand, "3gp4");
  ASSERT_TRUE(out.video);
  EXPECT_EQ(out.video->codec, "h263");
  EXPECT_EQ(out.video->width, 176);
  EXPECT_EQ(out.video->height, 144);
  EXPECT_EQ(out.video->rateNum, 15000);
  EXPECT_EQ(out.video->rateDen, 1001);
  ASSERT_TRUE(out.audio);
  EXPECT_EQ(out.audio->codec, "amr_nb");
  EXPECT_EQ(out.audio->sampleRate, 8000);
  EXPECT_EQ(out.audio->channels, 1);
  EXPECT_NEAR(out.duration, sourceDuration, 0.2);
  // Sound and picture end together: neither runs on alone.
  EXPECT_NEAR(out.video->duration, out.audio->duration, 0.2);
}

class Formats : public ::testing::TestWithParam<SourceFormat> {};

TEST_P(Formats, BecomeQcifH263WithAmrNarrowBand) {
  std::string source = SourceClip(GetParam());
  TempDir dir;
  RunResult run = RunConv(WindowArgs(source, dir.Path("clip.3gp")));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"clip.3gp"});
  ExpectQcif3gp(Probe(dir.Path("clip.3gp")), Probe(source).duration);
}

INSTANTIATE_TEST_SUITE_P(
    OpenDialogTypes, Formats,
    ::testing::Values(SourceFormat{"avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}},
                      SourceFormat{"divx.avi", {"-c:v", "msmpeg4", "-c:a", "libmp3lame"}},
                      SourceFormat{"flv", {"-c:v", "flv1", "-c:a", "libmp3lame"}},
                      SourceFormat{"wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}},
                      SourceFormat{"asf", {"-c:v", "wmv2", "-c:a", "wmav2"}},
                      SourceFormat{"mov", {"-c:v", "mpeg4", "-c:a", "aac"}},
                      SourceFormat{"dat", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "vcd"}},
                      SourceFormat{"mpg", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}},
                      SourceFormat{"mp4", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == '.') c = '_';
      }
      return name;
    });

// What phones and downloads give people; a drop takes any file. The Windows build reads the
// same list (tests/windows/conv_checks.sh).
INSTANTIATE_TEST_SUITE_P(
    PhoneAndDownloadTypes, Formats,
    ::testing::Values(
        SourceFormat{"mkv", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "libvorbis"}},
        SourceFormat{"webm",
                     {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus"}},
        SourceFormat{"vp8.webm",
                     {"-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libvorbis"}},
        SourceFormat{"av1.mp4",
                     {"-c:v", "libaom-av1", "-usage", "realtime", "-cpu-used", "8", "-c:a", "aac"}},
        SourceFormat{"ogv", {"-c:v", "libtheora", "-c:a", "libvorbis"}},
        SourceFormat{"ts", {"-c:v", "mpeg2video", "-c:a", "mp2"}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == '.') c = '_';
      }
      return name;
    });

TEST(Output, SoundOnlyTypes) {
  const SourceFormat sounds[] = {{"mp3", {"-c:a", "libmp3lame"}},
                                 {"m4a", {"-c:a", "aac"}},
                                 {"flac", {"-c:a", "flac"}},
                                 {"opus.ogg", {"-c:a", "libopus"}},
                                 {"wav", {"-c:a", "pcm_s16le"}}};
  TempDir dir;
  for (const SourceFormat& sound : sounds) {
    SCOPED_TRACE(sound.name);
    std::vector<std::string> args = TestTone(2);
    args.insert(args.end(), sound.codecArgs.begin(), sound.codecArgs.end());
    const std::string source = Clip(std::string("sound.") + sound.name, args);
    const std::string output = dir.Path(std::string(sound.name) + ".3gp");
    const RunResult run = RunConv(WindowArgs(source, output));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const FileFacts out = Probe(output);
    EXPECT_FALSE(out.video);
    ASSERT_TRUE(out.audio);
    EXPECT_EQ(out.audio->codec, "amr_nb");
    EXPECT_NEAR(out.duration, 2.0, 0.2);
  }
}

const SourceFormat kAvi{"avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}};

TEST(Output, EverySizeAndRateOfTheWindow) {
  struct Case {
    const char* size;
    const char* rate;
    const char* codec;
    int num, den;
  };
  const Case cases[] = {{"128x96", "14.985", "h263", 15000, 1001},
                        {"160x120", "23.975", "mpeg4", 24000, 1001},
                        {"176x144", "25.0", "h263", 25, 1},
                        {"352x288", "29.97", "h263", 30000, 1001}};
  std::string source = SourceClip(kAvi);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.size) + " at " + c.rate);
    TempDir dir;
    Settings settings;
    settings.frameSize = c.size;
    settings.frameRate = c.rate;
    // Enough bits for every frame: a setting too low for the size drops some, and the average
    // rate with them.
    settings.videoBitrate = "512";
    RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp"), settings));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    FileFacts out = Probe(dir.Path("out.3gp"));
    ASSERT_TRUE(out.video);
    EXPECT_EQ(out.video->codec, c.codec);
    EXPECT_EQ(std::to_string(out.video->width) + "x" + std::to_string(out.video->height), c.size);
    EXPECT_EQ(out.video->rateNum, c.num);
    EXPECT_EQ(out.video->rateDen, c.den);
    EXPECT_NEAR(out.duration, 2.0, 0.2);
  }
}

TEST(Output, VideoKeepsToTheChosenBitrateOnHardPictures) {
  // Noise, where ffmpeg's rate control on its own went up to three times over the setting.
  std::vector<std::string> args = TestPicture("320x240", 4);
  args.back() += ",noise=alls=60:allf=t+u";
  args.insert(args.end(), {"-c:v", "mpeg4", "-q:v", "3"});
  std::string source = Clip("noise.avi", args);
  struct Case {
    const char* size;
    const char* rate;
    const char* kbps;
  };
  for (const auto& [size, rate, kbps] : {Case{"176x144", "14.985", "40"}, Case{"352x288", "29.97", "256"}}) {
    SCOPED_TRACE(std::string(size) + " at " + rate + ", " + kbps + " kbit/s");
    TempDir dir;
    Settings settings;
    settings.videoBitrate = kbps;
    settings.frameSize = size;
    settings.frameRate = rate;
    RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp"), settings));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    FileFacts out = Probe(dir.Path("out.3gp"));
    ASSERT_TRUE(out.video);
    EXPECT_NEAR(out.duration, 4.0, 0.2);
    double setting = std::stod(kbps) * 1000;
    EXPECT_NEAR(out.video->bytes * 8 / out.duration, setting, setting * 0.25);
  }
}

TEST(Output, EveryAudioModeAndTheNearestBetweenThem) {
  // An AMR-NB packet is one header byte and the speech bits of one mode.
  const std::pair<const char*, int> cases[] = {{"4.75k", 13}, {"5.15k", 14}, {"5.9k", 16},  {"6.7k", 18},
                                               {"7.4k", 20},  {"7.95k", 21}, {"10.2k", 27}, {"12.2k", 32},
                                               {"5k", 14},    {"11k", 27},   {"12200", 32}};
  std::string source = Clip("tone.mp3", [] {
    std::vector<std::string> args = TestTone(1);
    args.insert(args.end(), {"-c:a", "libmp3lame"});
    return args;
  }());
  for (auto [mode, packetSize] : cases) {
    SCOPED_TRACE(mode);
    TempDir dir;
    Settings settings;
    settings.audioBitrate = mode;
    RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp"), settings));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    FileFacts out = Probe(dir.Path("out.3gp"));
    EXPECT_FALSE(out.video);
    ASSERT_TRUE(out.audio);
    EXPECT_EQ(out.audio->sampleRate, 8000);
    EXPECT_EQ(out.audio->channels, 1);
    EXPECT_EQ(out.firstAudioPacketSize, packetSize);
  }
}

// Lines and columns of black bar at each edge of the fourth frame: black reads about 16.
struct Bars {
  int top = 0, bottom = 0, left = 0, right = 0;
};

Bars Look(const std::string& path) {
  Picture p = DecodePicture(path, 3);
  auto dark = [&](int x0, int y0, int x1, int y1) { return p.Mean(x0, y0, x1, y1) < 24; };
  Bars b;
  while (b.top < p.height && dark(0, b.top, p.width, b.top + 1)) ++b.top;
  while (b.bottom < p.height && dark(0, p.height - 1 - b.bottom, p.width, p.height - b.bottom)) ++b.bottom;
  while (b.left < p.width && dark(b.left, 0, b.left + 1, p.height)) ++b.left;
  while (b.right < p.width && dark(p.width - 1 - b.right, 0, p.width - b.right, p.height)) ++b.right;
  return b;
}

TEST(Output, PictureKeepsItsShapeCentredBetweenBlackBars) {
  TempDir dir;
  // 16:9 stored as square pixels, and 16:9 stored anamorphic in a 4:3 frame: both are letterboxed,
  // 176x100 with 24 lines above (on the block grid) and 20 below.
  std::string wide = Clip("wide.mp4", [] {
    std::vector<std::string> a = TestPicture("320x180", 1);
    a.insert(a.end(), {"-c:v", "libx264", "-preset", "ultrafast"});
    return a;
  }());
  std::string anamorphic = Clip("anamorphic.avi", [] {
    std::vector<std::string> a = TestPicture("352x288", 1);
    a.insert(a.end(), {"-vf", "setsar=16/11", "-c:v", "mpeg4"});
    return a;
  }());
  for (const std::string& source : {wide, anamorphic}) {
    SCOPED_TRACE(source);
    ASSERT_EQ(RunConv(WindowArgs(source, dir.Path("wide.3gp"))).exitCode, 0);
    Bars bars = Look(dir.Path("wide.3gp"));
    EXPECT_NEAR(bars.top, 24, 2);
    EXPECT_NEAR(bars.bottom, 20, 2);
    EXPECT_EQ(bars.left + bars.right, 0);
  }
  // Portrait 9:16: a pillarbox, 82 columns wide with 48 and 46 beside it.
  std::string tall = Clip("tall.avi", [] {
    std::vector<std::string> a = TestPicture("180x320", 1);
    a.insert(a.end(), {"-c:v", "mpeg4"});
    return a;
  }());
  ASSERT_EQ(RunConv(WindowArgs(tall, dir.Path("tall.3gp"))).exitCode, 0);
  Bars bars = Look(dir.Path("tall.3gp"));
  EXPECT_NEAR(bars.left, 48, 2);
  EXPECT_NEAR(bars.right, 46, 2);
  EXPECT_EQ(bars.top + bars.bottom, 0);
}

TEST(Output, RotationMetadataIsHonoured) {
  // White left half, black right half, shown turned as ffmpeg's own player shows it.
  std::string plain = Clip(
      "halves.mp4", {"-f", "lavfi", "-i", "color=white:size=160x180:rate=25:duration=1,pad=320:180:0:0:black",
                     "-c:v", "libx264", "-preset", "ultrafast"});
  struct Case {
    const char* rotate;
    bool upright;   // turned by a quarter: a 9:16 picture in a pillarbox
    bool whiteLow;  // white half at the bottom (quarter turns) or on the right (half turn)
  };
  for (const Case& c : {Case{"90", true, true}, Case{"270", true, false}, Case{"180", false, true}}) {
    SCOPED_TRACE(c.rotate);
    // ffmpeg 6 dropped the "rotate" tag for a display matrix set on the input.
#if LIBAVFORMAT_VERSION_MAJOR >= 60
    const std::vector<std::string> turn{"-display_rotation:v", c.rotate, "-i", plain, "-c", "copy"};
#else
    const std::vector<std::string> turn{"-i", plain, "-c", "copy", "-metadata:s:v", std::string("rotate=") + c.rotate};
#endif
    std::string turned = Clip(std::string("turned") + c.rotate + ".mp4", turn);
    TempDir dir;
    RunResult run = RunConv(WindowArgs(turned, dir.Path("out.3gp")));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Picture p = DecodePicture(dir.Path("out.3gp"), 3);
    if (c.upright) {
      EXPECT_LT(p.Mean(0, 0, 40, 144), 20);
      EXPECT_LT(p.Mean(136, 0, 176, 144), 20);
      double top = p.Mean(70, 10, 106, 60);
      double bottom = p.Mean(70, 84, 106, 134);
      EXPECT_GT(c.whiteLow ? bottom : top, 200);
      EXPECT_LT(c.whiteLow ? top : bottom, 40);
    } else {
      EXPECT_LT(p.Mean(0, 0, 176, 12), 20);
      EXPECT_LT(p.Mean(10, 30, 70, 100), 40);
      EXPECT_GT(p.Mean(106, 30, 166, 100), 200);
    }
  }
}

TEST(Output, SoundThatStartsLateStaysInStepWithThePicture) {
  // The tone starts half a second after the picture; the output keeps that half second silent.
  std::vector<std::string> args = TestPicture("320x240", 2);
  args.insert(args.end(), {"-itsoffset", "0.5"});
  for (const std::string& arg : TestTone(1.5)) args.push_back(arg);
  args.insert(args.end(), {"-c:v", "mpeg4", "-c:a", "aac"});
  std::string source = Clip("late.mp4", args);
  TempDir dir;
  RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp")));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_LT(SoundLevel(dir.Path("out.3gp"), 0.0, 0.35), 0.01);
  EXPECT_GT(SoundLevel(dir.Path("out.3gp"), 0.7, 1.8), 0.03);  // the test tone is at 1/8 of full scale
  FileFacts out = Probe(dir.Path("out.3gp"));
  ASSERT_TRUE(out.audio && out.video);
  EXPECT_NEAR(out.audio->duration, out.video->duration, 0.2);
}

TEST(Output, JoinedMpegFilesConvertWhole) {
  // Two MPEG files put end to end: the second one's clock starts again from the beginning.
  std::string piece =
      ReadFile(SourceClip(SourceFormat{"mpg", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}}));
  TempDir dir;
  WriteFile(dir.Path("joined.mpg"), piece + piece);
  RunResult run = RunConv(WindowArgs(dir.Path("joined.mpg"), dir.Path("out.3gp")));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FileFacts out = Probe(dir.Path("out.3gp"));
  ASSERT_TRUE(out.audio && out.video);
  EXPECT_NEAR(out.video->duration, 4.0, 0.2);
  EXPECT_NEAR(out.audio->duration, 4.0, 0.2);
}

TEST(Output, SourcesWithOnlyPictureOrOnlySound) {
  TempDir dir;
  std::string silent = Clip("silent.avi", [] {
    std::vector<std::string> a = TestPicture("320x240", 1);
    a.insert(a.end(), {"-c:v", "mpeg4"});
    return a;
  }());
  ASSERT_EQ(RunConv(WindowArgs(silent, dir.Path("silent.3gp"))).exitCode, 0);
  FileFacts pictureOnly = Probe(dir.Path("silent.3gp"));
  EXPECT_TRUE(pictureOnly.video);
  EXPECT_FALSE(pictureOnly.audio);
  EXPECT_NEAR(pictureOnly.duration, 1.0, 0.2);

  std::string tone = Clip("tone.wav", TestTone(1));
  ASSERT_EQ(RunConv(WindowArgs(tone, dir.Path("tone.3gp"))).exitCode, 0);
  FileFacts soundOnly = Probe(dir.Path("tone.3gp"));
  EXPECT_FALSE(soundOnly.video);
  EXPECT_TRUE(soundOnly.audio);
  EXPECT_NEAR(soundOnly.duration, 1.0, 0.2);
}

// "time=" followed by seconds with two decimals and a blank; negative when the text has none.
double TimeField(const std::string& line) {
  size_t at = line.find("time=");
  if (at == std::string::npos) return -1;
  const char* start = line.c_str() + at + 5;
  char* end = nullptr;
  double seconds = std::strtod(start, &end);
  bool twoDecimals = end - start >= 4 && end[-3] == '.' && std::isdigit(end[-1]) && std::isdigit(end[-2]);
  return twoDecimals && *end == ' ' ? seconds : -1;
}

TEST(Output, ConsoleShowsDurationFirstThenTimeInSeconds) {
  std::string source = SourceClip(kAvi);
  TempDir dir;
  RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp")));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  size_t duration = run.output.find("Duration: 00:00:02.");
  size_t firstTime = run.output.find("time=");
  ASSERT_NE(duration, std::string::npos) << run.output;
  ASSERT_NE(firstTime, std::string::npos) << run.output;
  EXPECT_LT(duration, firstTime);
  // What the window reads: the field up to the first blank, hours:minutes:seconds and a comma.
  std::string field = run.output.substr(duration + 10, run.output.find(' ', duration + 10) - duration - 10);
  EXPECT_EQ(field.size(), 12u) << field;
  EXPECT_EQ(field.back(), ',');
  // The last line is the final progress line; its position is the whole clip, in seconds.
  EXPECT_NEAR(TimeField(run.LastLine()), 2.0, 0.2) << run.LastLine();
  EXPECT_EQ(run.output.back(), '\n');
}

TEST(Output, OptionsInAnyOrderAndASourceNamedLikeAnOption) {
  TempDir dir;
  std::string odd = dir.Path("-clip.avi");
  WriteFile(odd, ReadFile(SourceClip(kAvi)));
  RunResult run = RunConv({dir.Path("out.3gp"), "-ab", "7.4k", "-s", "128x96", "-ac", "1", "-r", "25.0",
                           "-ar", "8000", "-acodec", "libamr_nb", "-b", "80k", "-i", odd});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  FileFacts out = Probe(dir.Path("out.3gp"));
  ASSERT_TRUE(out.video);
  EXPECT_EQ(out.video->width, 128);
  EXPECT_EQ(out.firstAudioPacketSize, 20);
}

TEST(Output, ReplacesAnEarlierOutputWhenToldTo) {
  TempDir dir;
  WriteFile(dir.Path("out.3gp"), "an earlier result");
  RunResult run = RunConv(WindowArgs(SourceClip(kAvi), dir.Path("out.3gp")));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Probe(dir.Path("out.3gp")).video);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.3gp"});
}

}  // namespace
}  // namespace convtest
