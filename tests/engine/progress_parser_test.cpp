#include "engine/progress_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vintrel {
namespace {

struct DurationCase {
  const char* piece;
  std::int32_t expected;
};

TEST(ProgressParser, ReadsTheDurationByTheScanRules) {
  const std::vector<DurationCase> cases = {
      {"  Duration: 00:01:23.45, start: 0.000000, bitrate: 512 kb/s", 83},
      {"Duration: 00:01:23.50, start", 84},  // a half goes to the even neighbour
      {"Duration: 00:01:22.50, start", 82},
      {"Duration: 01:00:00.00, start", 3600},
      {"Input #0, avi\r\n  Duration: 00:01:2", 62},  // value runs to the end of the piece
      {"Duration: 00:01:23.45\r\n", 83},
      {"Duration: 00:00:10.00:99, ", 10},  // further fields are ignored
      {"Duration: 00:00:10:junk, ", 10},
      {"Duration: 00:00: Duration: 10.00, ", 10},  // a second marker appends its value
      {"Duration:  00:01:23.45, ", 0},             // a blank right after the marker
      {"duration: 00:01:23.45, ", 0},
      {"DURATION: 00:01:23.45, ", 0},
      {"Duration: N/A, start: 0", 0},
      {"Duration: 00:01, start", 0},  // cut after its first colon
      {"Duration: 00::23, ", 0},
      {"Duration: 00:01:2x.0, ", 0},
      {"Duration: -1:00:00, ", 0},
      {"Duration: 00:00:00.40, ", 0},      // rounds to nothing: still unread
      {"Duration: 999999:00:00.00, ", 0},  // beyond a 32-bit count of seconds
      {"Duration: ", 0},
      {"xDuration: ", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    ProgressParser parser;
    EXPECT_EQ(parser.Feed(c.piece), std::nullopt) << c.piece;
    EXPECT_EQ(parser.CurrentDuration(), c.expected) << c.piece;
  }
}

TEST(ProgressParser, KeepsTheFirstDurationUntilReset) {
  ProgressParser parser;
  parser.Feed("Duration: 00:01: -- cut");
  EXPECT_EQ(parser.CurrentDuration(), 0);
  parser.Feed("Duration: 00:00:10.00, ");
  EXPECT_EQ(parser.CurrentDuration(), 10);
  parser.Feed("Duration: 00:00:20.00, ");
  EXPECT_EQ(parser.CurrentDuration(), 10);
  parser.ResetDuration();
  parser.Feed("Duration: 00:00:20.00, ");
  EXPECT_EQ(parser.CurrentDuration(), 20);
}

struct TimeCase {
  std::int32_t durationSeconds;
  const char* piece;
  const char* label;
  double fraction;
};

ProgressParser WithDuration(std::int32_t seconds) {
  ProgressParser parser;
  const std::string hms = "Duration: 00:00:" + std::to_string(seconds) + ".00, start";
  parser.Feed(hms);
  return parser;
}

TEST(ProgressParser, ShowsThePercentageAndBar) {
  const std::vector<TimeCase> cases = {
      {93, "frame= 1 time=30.00 bitrate=", "32.2%", 0.32258064516129},
      {93, "time=5.00 ", "5.37%", 0.0537634408602151},
      {93, "time=0.00 ", "0%", 0.0},
      {93, "time=30.5 ", "32.2%", 0.32258064516129},  // 30.5 rounds to 30
      {93, "time=31.5 ", "34.4%", 0.344086021505376},
      {93, "time=93.00 ", "100%", 1.0},
      {93, "time=94.00 ", "100%", 1.0},
      {93, "time=1e3 ", "100%", 1.0},
      {93, "time=9e999 ", "100%", 1.0},
      {100, "time=29.00 bitrate", "29%", 0.29},
      {100, "time=4.92 bitrate time=5.12 ", "5%", 0.05},  // the first field counts
      {100, "time=\t30 ", "30%", 0.3},
      {100, "time= bitrate", "0%", 0.0},
      {100, "abcd time= ", "0%", 0.0},
      {100, "time=N/A ", "0%", 0.0},
      {100, "time=-5.00 ", "0%", 0.0},
      {100, "time=-0.4 ", "0%", 0.0},
      {3600, "time=1.00 ", "0.02%", 0.000277777777777778},
      {59, "time=58 ", "98.3%", 0.983050847457627},
  };
  for (const auto& c : cases) {
    ProgressParser parser = WithDuration(c.durationSeconds);
    ASSERT_EQ(parser.CurrentDuration(), c.durationSeconds);
    const auto display = parser.Feed(c.piece);
    ASSERT_TRUE(display.has_value()) << c.piece;
    EXPECT_EQ(display->label, c.label) << c.piece;
    EXPECT_DOUBLE_EQ(display->fraction, c.fraction) << c.piece;
  }
}

TEST(ProgressParser, PiecesWithoutAUsableTimeChangeNothing) {
  ProgressParser parser = WithDuration(93);
  const std::vector<std::string> pieces = {
      "",
      "frame=  42 fps=10",
      "Time=30.00 ",
      "abc time=",     // a marker in the very last place is not searched
      "time=",         // five characters or fewer
      "frame= 1 tim",  // a marker cut by the piece boundary
      "e=30.00 ",
  };
  for (const auto& piece : pieces) EXPECT_EQ(parser.Feed(piece), std::nullopt) << piece;
}

TEST(ProgressParser, TimeBeforeAnyDurationChangesNothing) {
  ProgressParser parser;
  EXPECT_EQ(parser.Feed("frame= 1 time=30.00 bitrate="), std::nullopt);
  EXPECT_EQ(parser.Feed("Duration: N/A, start time=30.00 "), std::nullopt);
  EXPECT_EQ(parser.CurrentDuration(), 0);
}

TEST(ProgressParser, OnePieceSetsTheDurationAndShowsItsTime) {
  ProgressParser parser;
  const auto display = parser.Feed("  Duration: 00:01:33.00, start: 0\r\nframe= 9 time=30.00 bitrate=");
  ASSERT_TRUE(display.has_value());
  EXPECT_EQ(parser.CurrentDuration(), 93);
  EXPECT_EQ(display->label, "32.2%");
}

TEST(ProgressParser, NeverFailsOnArbitraryBytes) {
  ProgressParser parser;
  std::string piece;
  unsigned state = 12345;
  for (int round = 0; round < 2000; ++round) {
    piece.clear();
    const int length = static_cast<int>(state % 64);
    for (int k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      const char alphabet[] = "Duration: time=0123456789.:,-e \t\n";
      piece += alphabet[(state >> 16) % (sizeof alphabet - 1)];
    }
    state = state * 1103515245u + 12345u;
    const auto display = parser.Feed(piece);
    if (display) {
      EXPECT_GE(display->fraction, 0.0);
      EXPECT_LE(display->fraction, 1.0);
      EXPECT_LE(display->label.size(), 5u);
      EXPECT_EQ(display->label.back(), '%');
    }
    EXPECT_GE(parser.CurrentDuration(), 0);
    if (round % 7 == 0) parser.ResetDuration();
  }
}

TEST(ProgressFormat, WritesTheShortestPlainForm) {
  EXPECT_EQ(FormatSignificant15(0.0), "0");
  EXPECT_EQ(FormatSignificant15(-0.0), "0");
  EXPECT_EQ(FormatSignificant15(29.0), "29");
  EXPECT_EQ(FormatSignificant15(100.0), "100");
  EXPECT_EQ(FormatSignificant15(0.29 * 100.0), "29");
  EXPECT_EQ(FormatSignificant15(30.0 / 93.0 * 100.0), "32.258064516129");
  EXPECT_EQ(FormatSignificant15(5.37634408602151), "5.37634408602151");
  EXPECT_EQ(FormatSignificant15(1.0 / 36.0), "0.0277777777777778");
  EXPECT_EQ(FormatSignificant15(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatSignificant15(1e-7), "0.0000001");
  EXPECT_EQ(FormatSignificant15(1e20), "100000000000000000000");
  EXPECT_EQ(FormatSignificant15(123456789012345678.0), "123456789012346000");
  EXPECT_EQ(FormatSignificant15(-2.5), "-2.5");
}

TEST(ProgressFormat, ReadsTheLeadingNumberLikeTheTimeField) {
  EXPECT_DOUBLE_EQ(LeadingNumber("4.925.12"), 4.925);
  EXPECT_DOUBLE_EQ(LeadingNumber("28.05"), 28.05);
  EXPECT_DOUBLE_EQ(LeadingNumber(""), 0.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("."), 0.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("-3.5x"), -3.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("+2"), 2.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("2E-1s"), 0.2);
  EXPECT_DOUBLE_EQ(LeadingNumber("1e"), 1.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("1e+x"), 1.0);
  EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("5."), 5.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("\t\n7"), 7.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("3\n0"), 30.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("\r5"), 0.0);
  EXPECT_DOUBLE_EQ(LeadingNumber("1e-999"), 0.0);
  EXPECT_EQ(LeadingNumber("1e999"), std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace vintrel
