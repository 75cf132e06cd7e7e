#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "cli/cli_options.h"
#include "cli/level_text.h"
#include "cli/terminal_view.h"

namespace vintrel::cli {
namespace {

TEST(CliOptions, ValuesFilesAndSeparators) {
  const ParsedArguments parsed =
      ParseArguments({"--size=352x288", "--fps", "25.0", "-", "a.avi", "--", "--dry-run", "-b.avi"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.pickers[Picker::FrameSize], "352x288");
  EXPECT_EQ(parsed.options.pickers[Picker::FrameRate], "25.0");
  EXPECT_FALSE(parsed.options.pickers[Picker::VideoBitrate].has_value());
  EXPECT_FALSE(parsed.options.dryRun);
  EXPECT_EQ(parsed.options.files, (std::vector<std::string>{"-", "a.avi", "--dry-run", "-b.avi"}));

  EXPECT_EQ(ParseArguments({"--version"}).error, "");
  EXPECT_EQ(ParseArguments({"--size", " 176x144", "a"}).error,
            "invalid value ' 176x144' for --size (valid: 128x96, 160x120, 176x144, 352x288)");
  EXPECT_EQ(ParseArguments({"-x", "a"}).error, "unknown option '-x'");
  EXPECT_EQ(ParseArguments({"--dry-run=1", "a"}).error, "option '--dry-run' takes no value");
  EXPECT_EQ(ParseArguments({"--version=", "a"}).error, "option '--version' takes no value");
  EXPECT_EQ(ParseArguments({"--dry-runs", "a"}).error, "unknown option '--dry-runs'");
  EXPECT_EQ(ParseArguments({"--output=", "a"}).error, "--output needs a non-empty value");

  EXPECT_EQ(ParseArguments({"a"}).options.jobs, 1);
  EXPECT_EQ(ParseArguments({"--jobs", "3", "a"}).options.jobs, 3);
  EXPECT_EQ(ParseArguments({"--jobs=0", "a"}).options.jobs, 0);
  for (const char* bad : {"-1", "+2", "2.5", " 2", "", "99999", "two"}) {
    EXPECT_EQ(ParseArguments({"--jobs", bad, "a"}).error,
              "invalid value '" + std::string(bad) +
                  "' for --jobs (a whole number up to 1024, 0 for one per core)");
  }
  EXPECT_EQ(ParseArguments({"a", "--jobs"}).error, "missing value for --jobs");

  // The pickers' lines of the help, made from their rows, keep their columns.
  EXPECT_NE(UsageText().find("\n  --video-bitrate KBPS   40|80|120|256|512\n"
                             "  --size WxH             128x96|160x120|176x144|352x288\n"
                             "  --fps RATE             14.985|23.975|25.0|29.97\n"
                             "  --audio-bitrate RATE   4.75k|5.15k|5.9k|6.7k|7.4k|7.95k|10.2k|12.2k\n"
                             "  --output DIR           folder"),
            std::string::npos)
      << UsageText();
}

TEST(CliOptions, CommandBoxTakesAnyOneLineTextAndNoFiles) {
  EXPECT_EQ(ParseArguments({"--command-box", "b2"}).options.commandBoxText, "b2");
  EXPECT_EQ(ParseArguments({"--command-box=-1"}).options.commandBoxText, "-1");
  const ParsedArguments empty = ParseArguments({"--command-box", ""});
  EXPECT_EQ(empty.error, "");
  EXPECT_EQ(empty.options.commandBoxText, "");
  EXPECT_EQ(ParseArguments({"--command-box"}).error, "missing value for --command-box");
  EXPECT_EQ(ParseArguments({"--command-box", "b2", "a.avi"}).error, "--command-box takes no files");
  EXPECT_EQ(ParseArguments({"--command-box", "b2\nb0"}).error,
            "--command-box: the text must be a single line");
}

TEST(TerminalView, ProgressLineAndEstimate) {
  EXPECT_EQ(TerminalView::ProgressLine("[1/2] a.avi  ", 0.5, "50%", 10.0),
            "[1/2] a.avi  [############------------]    50%  ETA 0:10");
  EXPECT_EQ(TerminalView::ProgressLine("", 0.01, "1%", 10.0), "[------------------------]     1%  ETA --:--");
  EXPECT_EQ(TerminalView::ProgressLine("", 1.5, "100%", 10.0),
            "[########################]   100%  ETA --:--");
  EXPECT_EQ(TerminalView::ProgressLine("", -0.2, "0%", 10.0), "[------------------------]     0%  ETA --:--");
  EXPECT_EQ(TerminalView::FormatDuration(3725), "1:02:05");
  EXPECT_EQ(TerminalView::FormatDuration(59.6), "1:00");
  EXPECT_EQ(TerminalView::FormatDuration(-3), "0:00");
  // Names reach the terminal with their control characters escaped; other UTF-8 stays.
  EXPECT_EQ(TerminalSafe("a\x1b]0;owned\x07"
                         "b\x7f\t.avi"),
            "a\\x1b]0;owned\\x07b\\x7f\\x09.avi");
  EXPECT_EQ(TerminalSafe("\xC2\x9B"
                         "2J \xC2\xA0\xE2\x82\xAC"),
            "\\u009b2J \xC2\xA0\xE2\x82\xAC");
  // Raw 0x80-0x9F outside a character are the 8-bit controls (0x9B: CSI); inside one they stay.
  EXPECT_EQ(TerminalSafe("\x9b"
                         "2J\x85\xE2\x82 \xE2\x82\xAC\xF0\x9F\x8E\xAC\xE9"),
            "\\x9b2J\\x85\xE2\\x82 \xE2\x82\xAC\xF0\x9F\x8E\xAC\xE9");
  EXPECT_EQ(TerminalSafe("\xED\xA0\x80\xC0\x80"), "\xED\xA0\\x80\xC0\\x80");
}

ConversionSettings Chosen(std::string_view size, std::string_view rate, std::string_view kbps) {
  ConversionSettings settings;
  settings.pickers[Picker::FrameSize] = size;
  settings.pickers[Picker::FrameRate] = rate;
  settings.pickers[Picker::VideoBitrate] = kbps;
  settings.pickers[Picker::AudioBitrate] = "5.15k";
  return settings;
}

TEST(TerminalView, EachOutputNamesItsLevelAndSize) {
  EXPECT_EQ(LevelText(Chosen("176x144", "14.985", "40")), "H.263 Profile 0 Level 10");
  EXPECT_EQ(LevelText(Chosen("176x144", "25.0", "40")), "H.263 Profile 0 Level 20");
  EXPECT_EQ(LevelText(Chosen("160x120", "29.97", "120")), "MPEG-4 Simple Profile Level 2");
  EXPECT_EQ(LevelText(Chosen("704x576", "14.985", "120")), "H.263 Profile 0, beyond Level 40");
  EXPECT_EQ(SizeText(1234567), "1.2 MB");
  EXPECT_EQ(SizeText(95000), "0.1 MB");
  EXPECT_EQ(SizeText(12001), "13 kB");
  // 40 + 5.15 kbit/s for a minute: 338 625 bytes.
  EXPECT_EQ(DryRunLevelLine(Chosen("176x144", "14.985", "40")),
            "H.263 Profile 0 Level 10, about 0.3 MB per minute");
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "vintrel-outcome-test.3gp";
  std::ofstream(file) << std::string(1500000, 'x');
  const FileResult converted{"a.avi", file.string(), true, ""};
  EXPECT_EQ(TerminalView::Outcome(converted, "H.263 Profile 0 Level 45"),
            "converted -> " + file.string() + " (H.263 Profile 0 Level 45, 1.5 MB)");
  std::filesystem::remove(file);
  EXPECT_EQ(TerminalView::Outcome({"a.avi", "", false, "the video is damaged"}, "H.263 Profile 0 Level 45"),
            "FAILED: the video is damaged");
}

// The README's table of the pickers' choices and their levels, as the code gives them.
std::string LevelTable() {
  std::string table = "| size | frames a second |";
  std::string rule = "|---|---|";
  for (std::string_view kbps : kVideoBitrates) {
    table += " " + std::string(kbps) + " kbit/s |";
    rule += "---|";
  }
  table += "\n" + rule + "\n";
  for (std::string_view size : kFrameSizes) {
    for (std::string_view rate : kFrameRates) {
      const auto codec = LevelOfSettings(Chosen(size, rate, kVideoBitrates[0]))->codec;
      table += "| " + std::string(size) + (codec == levels::Codec::H263 ? " (H.263)" : " (MPEG-4)") + " | " +
               std::string(rate) + " |";
      for (std::string_view kbps : kVideoBitrates) {
        const auto level = LevelOfSettings(Chosen(size, rate, kbps));
        table += " " + (level ? std::string(level->name) : std::string("none")) + " |";
      }
      table += "\n";
    }
  }
  return table;
}

TEST(TerminalView, TheReadmesLevelTableIsTheCodes) {
  std::ifstream readme(VINTREL_README);
  std::stringstream text;
  text << readme.rdbuf();
  ASSERT_FALSE(text.str().empty()) << VINTREL_README;
  EXPECT_NE(text.str().find(LevelTable()), std::string::npos) << "the README should hold:\n" << LevelTable();
}

}  // namespace
}  // namespace vintrel::cli
