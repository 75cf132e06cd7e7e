#include "process/command_line_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vintrel {
namespace {

using Tokens = std::vector<std::string>;

struct Case {
  std::string text;
  Tokens expected;
};

void ExpectSplits(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.expected) << "text: " << c.text;
}

TEST(SplitCommandLine, EncoderLinesKeepQuotedPathsWhole) {
  ExpectSplits({
      {R"("C:\Program Files\Vintrel\data\conv.exe" -i "D:\Clips\beach trip.avi" -b 120k -y -r 14.985)"
       R"( -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k "C:\out\beach trip.3gp")",
       {R"(C:\Program Files\Vintrel\data\conv.exe)", "-i", R"(D:\Clips\beach trip.avi)", "-b", "120k", "-y",
        "-r", "14.985", "-s", "176x144", "-acodec", "libamr_nb", "-ar", "8000", "-ac", "1", "-ab", "5.15k",
        R"(C:\out\beach trip.3gp)"}},
      {R"("/opt/vintrel/data/conv.exe" -i "/home/ann/My Clips/a.avi")",
       {"/opt/vintrel/data/conv.exe", "-i", "/home/ann/My Clips/a.avi"}},
      {"\"/tmp/\xC3\xBCn\xC3\xAF \xE6\xB5\x8B/conv\" -i \"\xCE\xA9.avi\"",
       {"/tmp/\xC3\xBCn\xC3\xAF \xE6\xB5\x8B/conv", "-i", "\xCE\xA9.avi"}},
  });
}

TEST(SplitCommandLine, BlanksSeparateAndAreTrimmed) {
  ExpectSplits({
      {"", {}},
      {" \t  ", {}},
      {"prog", {"prog"}},
      {"  prog   a\tb  ", {"prog", "a", "b"}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog \"a b\"c d", {"prog", "a bc", "d"}},
      {"prog a\"b c\"d", {"prog", "ab cd"}},
      {"prog \"unterminated arg", {"prog", "unterminated arg"}},
      {"prog a\nb", {"prog", "a\nb"}},
  });
}

TEST(SplitCommandLine, BackslashesOnlyEscapeBeforeAQuote) {
  ExpectSplits({
      {R"(prog a\b c\\d)", {"prog", R"(a\b)", R"(c\\d)"}},
      {R"(prog a\"b)", {"prog", R"(a"b)"}},
      {R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
      {R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
      {R"(prog "x\\\"y")", {"prog", R"(x\"y)"}},
      {R"(prog "C:\dir\\" next)", {"prog", R"(C:\dir\)", "next"}},
      {R"(prog "trailing\")", {"prog", R"(trailing")"}},
      {R"(prog \\\\)", {"prog", R"(\\\\)"}},
      {R"(prog "a""b")", {"prog", R"(a"b)"}},
      {R"(prog """")", {"prog", R"(")"}},
  });
}

TEST(SplitCommandLine, ProgramFollowsTheCreateProcessRule) {
  ExpectSplits({
      // Backslashes in the program are plain: it ends at the next quote.
      {R"("C:\dir\\" arg)", {R"(C:\dir\\)", "arg"}},
      {R"("C:\a\"b" c)", {R"(C:\a\)", "b c"}},
      {R"("pro g"x y)", {"pro g", "x", "y"}},
      {R"("unterminated program)", {"unterminated program"}},
      {R"("" arg)", {"", "arg"}},
      {R"(a"b c" d)", {R"(a"b)", "c d"}},
  });
}

TEST(SplitCommandLine, TextEndsAtTheFirstNul) {
  EXPECT_EQ(SplitCommandLine(std::string("prog a\0b c", 10)), (Tokens{"prog", "a"}));
  EXPECT_EQ(SplitCommandLine(std::string("\0prog", 5)), Tokens{});
  // Any bytes at all, including lone high bytes and unbalanced quotes, split without harm.
  std::string noise;
  for (int i = 1; i < 256; ++i) noise.push_back(static_cast<char>(i));
  const Tokens tokens = SplitCommandLine(noise + noise);
  EXPECT_FALSE(tokens.empty());
}

}  // namespace
}  // namespace vintrel
