#include "app/launch_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vintrel {
namespace {

using Files = std::vector<std::string>;

constexpr std::int64_t kDeadline = 0x123456789AB;

std::string Message(const Files& files) {
  auto bytes = EncodeLaunchMessage(files, kDeadline);
  EXPECT_TRUE(bytes.has_value());
  return bytes.value_or(std::string());
}

TEST(LaunchMessage, CarriesAnyBytesAFileNameMayHold) {
  const std::vector<Files> lists = {
      {},
      {"/home/u/clip.avi"},
      {"/tmp/a b\n\"c\".mp4", "/tmp/\xFF\xFE not UTF-8", "C:\\Videos\\Ferien \xC3\xBC.wmv", "/tmp/clip.avi"},
      {std::string(70000, 'x'), "/", "/tmp/clip.avi"},  // the same file twice stays twice
  };
  for (const Files& files : lists) {
    const std::string bytes = Message(files);
    EXPECT_EQ(LaunchMessageLength(bytes.substr(0, kLaunchHeaderSize)), bytes.size());
    const auto decoded = DecodeLaunchMessage(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->files, files);
    EXPECT_EQ(decoded->deadlineMs, kDeadline);
  }
  EXPECT_FALSE(EncodeLaunchMessage({"/tmp/a", ""}, kDeadline));
  EXPECT_FALSE(EncodeLaunchMessage({std::string("/tmp/a\0b", 8)}, kDeadline));
  EXPECT_FALSE(EncodeLaunchMessage({std::string(kLaunchMessageMaxBytes, 'x')}, kDeadline));
}

// A window that reads a launch after the launch gave up must not take it: the launch has already
// said the files were not taken.
TEST(LaunchMessage, IsLateOnlyAfterItsDeadline) {
  const std::int64_t now = LaunchClockMs();
  const auto message = DecodeLaunchMessage(Message({"/tmp/a.avi"}));
  ASSERT_TRUE(message.has_value());
  EXPECT_FALSE(message->LateAt(kDeadline));
  EXPECT_TRUE(message->LateAt(kDeadline + 1));
  const auto timely = DecodeLaunchMessage(EncodeLaunchMessage({"/tmp/a.avi"}, now + 60000).value_or(""));
  ASSERT_TRUE(timely.has_value());
  EXPECT_FALSE(timely->LateAt(LaunchClockMs()));
  EXPECT_LE(now, LaunchClockMs());
}

TEST(LaunchMessage, RefusesAnythingButOneWholeMessage) {
  const std::string good = Message({"/tmp/one.avi", "/tmp/two.mp4"});
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(DecodeLaunchMessage(good.substr(0, cut))) << "cut at " << cut;
  EXPECT_FALSE(DecodeLaunchMessage(good + '\0'));

  const auto patched = [&](std::size_t at, char byte) {
    std::string bytes = good;
    bytes[at] = byte;
    return bytes;
  };
  EXPECT_FALSE(DecodeLaunchMessage(patched(0, 'X')));      // magic
  EXPECT_FALSE(DecodeLaunchMessage(patched(4, '\x7F')));   // overall length
  EXPECT_FALSE(DecodeLaunchMessage(patched(16, '\x03')));  // one file more than it holds
  EXPECT_FALSE(DecodeLaunchMessage(patched(16, '\x01')));  // one file less: bytes left over
  EXPECT_FALSE(DecodeLaunchMessage(patched(20, '\x0D')));  // a file longer than the rest
  EXPECT_FALSE(DecodeLaunchMessage(patched(25, '\0')));    // a NUL inside a file
  EXPECT_FALSE(DecodeLaunchMessage(Message({"/a"}).replace(16, 8, std::string("\1\0\0\0\0\0\0\0", 8))));
  EXPECT_FALSE(DecodeLaunchMessage(std::string("VLM2\4\0\0\0\0\0\0\0", 12)));  // no room for the deadline

  EXPECT_FALSE(LaunchMessageLength("VLM2"));
  EXPECT_FALSE(LaunchMessageLength(std::string("VLM1\0\0\0\0", 8)));          // the earlier form
  EXPECT_FALSE(LaunchMessageLength(std::string("VLM2\xFF\xFF\xFF\xFF", 8)));  // beyond what a reader holds
}

}  // namespace
}  // namespace vintrel
