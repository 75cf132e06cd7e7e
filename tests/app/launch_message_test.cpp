#include "app/launch_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vintrel {
namespace {

using Files = std::vector<std::string>;

std::string Message(const Files& files) {
  auto bytes = EncodeLaunchMessage(files);
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
    EXPECT_EQ(DecodeLaunchMessage(bytes), files);
  }
  EXPECT_FALSE(EncodeLaunchMessage({"/tmp/a", ""}));
  EXPECT_FALSE(EncodeLaunchMessage({std::string("/tmp/a\0b", 8)}));
  EXPECT_FALSE(EncodeLaunchMessage({std::string(kLaunchMessageMaxBytes, 'x')}));
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
  EXPECT_FALSE(DecodeLaunchMessage(patched(8, '\x03')));   // one file more than it holds
  EXPECT_FALSE(DecodeLaunchMessage(patched(8, '\x01')));   // one file less: bytes left over
  EXPECT_FALSE(DecodeLaunchMessage(patched(12, '\x0D')));  // a file longer than the rest
  EXPECT_FALSE(DecodeLaunchMessage(patched(17, '\0')));    // a NUL inside a file
  EXPECT_FALSE(DecodeLaunchMessage(Message({"/a"}).replace(8, 8, std::string("\1\0\0\0\0\0\0\0", 8))));

  EXPECT_FALSE(LaunchMessageLength("VLM1"));
  EXPECT_FALSE(LaunchMessageLength(std::string("VLM1\xFF\xFF\xFF\xFF", 8)));  // beyond what a reader holds
}

}  // namespace
}  // namespace vintrel
