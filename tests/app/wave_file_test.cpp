#include "app/wave_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

#include "temp_folder.h"

namespace vintrel {
namespace {

std::string Le32(std::uint32_t v) {
  return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
          static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
}

std::string Chunk(const std::string& id, const std::string& body, std::uint32_t claimed) {
  std::string chunk = id + Le32(claimed) + body;
  if (body.size() % 2) chunk += '\0';
  return chunk;
}

// PCM at `rate` Hz, 16-bit mono: two bytes per sample.
std::string Wave(std::uint32_t rate, std::uint32_t dataBytes, const std::string& extraChunks = {},
                 std::uint32_t claimedData = 0) {
  std::string fmt =
      std::string("\x01\x00\x01\x00", 4) + Le32(rate) + Le32(rate * 2) + std::string("\x02\x00\x10\x00", 4);
  std::string body = "WAVE" + Chunk("fmt ", fmt, 16) + extraChunks +
                     Chunk("data", std::string(dataBytes, '\0'), claimedData ? claimedData : dataBytes);
  return "RIFF" + Le32(static_cast<std::uint32_t>(body.size())) + body;
}

TEST(WaveDuration, FromTheFormatAndDataChunks) {
  EXPECT_EQ(WaveDurationFromHeader(Wave(8000, 8000), 8044), 500);
  EXPECT_EQ(WaveDurationFromHeader(Wave(22050, 44100), 44144), 1000);
  EXPECT_EQ(WaveDurationFromHeader(Wave(8000, 3), 47), 1);  // rounded up
  // Other chunks before the data, one of odd size, are stepped over.
  const std::string listed = Wave(8000, 16000, Chunk("LIST", "abc", 3) + Chunk("fact", "1234", 4));
  EXPECT_EQ(WaveDurationFromHeader(listed, listed.size()), 1000);
}

TEST(WaveDuration, WhatIsNotASoundOrLiesAboutItsSize) {
  const std::string wave = Wave(8000, 16000);
  EXPECT_EQ(WaveDurationFromHeader("", 0), std::nullopt);
  EXPECT_EQ(WaveDurationFromHeader("RIFF....AVI LIST", 16), std::nullopt);
  EXPECT_EQ(WaveDurationFromHeader(wave.substr(0, 30), 30), std::nullopt);  // cut inside fmt
  EXPECT_EQ(WaveDurationFromHeader(Wave(0, 100), 144), std::nullopt);       // no byte rate
  // A data chunk claiming ten seconds in a file that holds one counts the one.
  const std::string liar = Wave(8000, 16000, {}, 160000);
  EXPECT_EQ(WaveDurationFromHeader(liar, liar.size()), 1000);
  // Hours of sound are cut to a minute.
  EXPECT_EQ(WaveDurationFromHeader(Wave(8000, 0, {}, 0xfffffff0u), 0xfffffff0ull + 44), 60000);
}

TEST(WaveDuration, FromAFile) {
  testing_support::TempFolder folder("vintrel-wave");
  std::ofstream(folder.Path() / "chime.wav", std::ios::binary) << Wave(11025, 11025);
  std::ofstream(folder.Path() / "text.wav", std::ios::binary) << "not a sound";
  EXPECT_EQ(WaveDurationMs(folder.Utf8("chime.wav")), 500);
  EXPECT_EQ(WaveDurationMs(folder.Utf8("text.wav")), std::nullopt);
  EXPECT_EQ(WaveDurationMs(folder.Utf8("missing.wav")), std::nullopt);
  EXPECT_EQ(WaveDurationMs(folder.Utf8()), std::nullopt);  // a folder
}

}  // namespace
}  // namespace vintrel
