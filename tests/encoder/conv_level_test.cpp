// What a phone reads from conv.exe's outputs before it plays them: the level the video declares,
// the limits of that level kept on hard content, and H.263's own clock of the pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "conv_support.h"
#include "levels/phone_levels.h"

namespace convtest {
namespace {

namespace levels = vintrel::levels;

std::string NoiseClip() {
  std::vector<std::string> args = TestPicture("320x240", 4);
  args.back() += ",noise=alls=60:allf=t+u";
  args.insert(args.end(), {"-c:v", "mpeg4", "-q:v", "3"});
  return Clip("level-noise.avi", args);
}

// The TR of an H.263 picture header (ITU-T H.263, 5.1.1 and 5.1.2), or -1 without one.
int TemporalReference(const std::vector<uint8_t>& head) {
  if (head.size() < 4 || head[0] != 0 || head[1] != 0 || (head[2] & 0xFC) != 0x80) return -1;
  return ((head[2] & 0x03) << 6) | (head[3] >> 2);
}

// The profile_and_level_indication after the visual object sequence's start code, or -1.
int ProfileAndLevel(const std::vector<uint8_t>& headers) {
  for (size_t i = 0; i + 4 < headers.size(); ++i) {
    if (headers[i] == 0 && headers[i + 1] == 0 && headers[i + 2] == 1 && headers[i + 3] == 0xB0) {
      return headers[i + 4];
    }
  }
  return -1;
}

// The most the decoder's buffer is short of, fed at the level's rate while the sender has bits:
// the sender's backlog just after each picture is handed over.
double LargestBacklog(const CodedVideo& video, double bitsPerSecond) {
  double held = 0;
  double largest = 0;
  double last = video.pictures.empty() ? 0 : video.pictures.front().seconds;
  for (const CodedPicture& picture : video.pictures) {
    held = std::max(0.0, held - bitsPerSecond * (picture.seconds - last)) + static_cast<double>(picture.bits);
    last = picture.seconds;
    largest = std::max(largest, held);
  }
  return largest;
}

TEST(Levels, OutputsDeclareTheirLevelAndKeepInsideIt) {
  struct Case {
    const char* size;
    const char* rate;
    const char* kbps;
    int num, den;
  };
  const Case cases[] = {{"352x288", "29.97", "40", 30000, 1001},
                        {"176x144", "29.97", "256", 30000, 1001},
                        {"128x96", "25.0", "80", 25, 1},
                        {"160x120", "14.985", "120", 15000, 1001},
                        {"160x120", "29.97", "512", 30000, 1001}};
  const std::string source = NoiseClip();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.size) + " at " + c.rate + ", " + c.kbps + " kbit/s");
    TempDir dir;
    Settings settings;
    settings.frameSize = c.size;
    settings.frameRate = c.rate;
    settings.videoBitrate = c.kbps;
    RunResult run = RunConv(WindowArgs(source, dir.Path("out.3gp"), settings));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const int width = std::stoi(c.size);
    const int height = std::stoi(std::string(c.size).substr(std::string(c.size).find('x') + 1));
    const auto level = levels::LevelFor(width, height, {c.num, c.den}, std::stol(c.kbps) * 1000);
    ASSERT_TRUE(level);
    const levels::Limits limits = levels::LimitsOf(*level, width, height);
    const CodedVideo video = ReadCodedVideo(dir.Path("out.3gp"));
    ASSERT_GT(video.pictures.size(), 10u);
    if (level->codec == levels::Codec::Mpeg4) {
      EXPECT_EQ(ProfileAndLevel(video.headers), level->code);
    }
    int64_t largest = 0;
    for (const CodedPicture& picture : video.pictures) largest = std::max(largest, picture.bits);
    EXPECT_LE(largest, limits.pictureBits);
    EXPECT_LE(LargestBacklog(video, static_cast<double>(limits.bitsPerSecond)), limits.bufferBits);
  }
}

TEST(Levels, H263TimeCountsTheClockTicksBetweenThePicturesSent) {
  // CIF at 40 kbit/s on noise: most frames are dropped, so counting pictures would run far ahead.
  TempDir dir;
  Settings settings;
  settings.frameSize = "352x288";
  settings.frameRate = "29.97";
  settings.videoBitrate = "40";
  RunResult run = RunConv(WindowArgs(NoiseClip(), dir.Path("out.3gp"), settings));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const CodedVideo video = ReadCodedVideo(dir.Path("out.3gp"));
  ASSERT_GT(video.pictures.size(), 10u);
  int gaps = 0;
  for (size_t i = 0; i < video.pictures.size(); ++i) {
    const CodedPicture& picture = video.pictures[i];
    const int tr = TemporalReference(picture.head);
    ASSERT_GE(tr, 0) << "picture " << i;
    const double ticks = picture.seconds * 30000 / 1001;
    // Modulo 256, within one tick either way.
    const double apart = std::fmod(std::fabs(ticks - tr), 256);
    EXPECT_LE(std::min(apart, 256 - apart), 1.0) << "picture " << i << " at " << picture.seconds << " s";
    if (i > 0 && picture.seconds - video.pictures[i - 1].seconds > 1.5 * 1001 / 30000) ++gaps;
  }
  EXPECT_GT(gaps, 5) << "the rate control dropped no frames: the clip is too easy to test this";
}

}  // namespace
}  // namespace convtest
