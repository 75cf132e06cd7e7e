#include "engine/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_choices.h"

namespace vintrel {
namespace {

using testing_support::Choices;

// The pickers as a fresh start shows them.
ConversionSettings StartupChoices(std::string outputFolder) {
  return Choices({}, std::move(outputFolder));
}

TEST(CommandLine, BuildsTheWindowsExampleWithTheEncoderQuoted) {
  const ConversionSettings settings = StartupChoices("C:\\Program Files\\Vintrel\\output");
  const std::string source = "D:\\Clips\\beach trip.avi";
  const std::string line =
      BuildCommandLine(settings, source, OutputPathFor(settings, source, PathStyle::Windows),
                       "C:\\Program Files\\Vintrel\\data\\conv.exe");
  EXPECT_EQ(line,
            "\"C:\\Program Files\\Vintrel\\data\\conv.exe\" -i \"D:\\Clips\\beach trip.avi\" -b 120k -y "
            "-r 14.985 -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k "
            "\"C:\\Program Files\\Vintrel\\output\\beach trip.3gp\"");
}

TEST(CommandLine, QuotesTheEncoderEvenWithoutBlanks) {
  const std::string line = BuildCommandLine(StartupChoices("/srv/out"), "/m/a.avi", "/srv/out/a.3gp",
                                            "/opt/vintrel/data/conv.exe");
  EXPECT_EQ(line,
            "\"/opt/vintrel/data/conv.exe\" -i \"/m/a.avi\" -b 120k -y -r 14.985 -s 176x144 "
            "-acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k \"/srv/out/a.3gp\"");
}

TEST(CommandLine, TrimsOnlyBlanksOfThePickerTexts) {
  const ConversionSettings settings = Choices({{Picker::VideoBitrate, " 512 "},
                                               {Picker::FrameRate, " 25.0 "},
                                               {Picker::FrameSize, "\t352x288"},
                                               {Picker::AudioBitrate, "12.2k  "}},
                                              " E:\\out");
  const std::string line = BuildCommandLine(settings, "D:\\v\\clip.avi",
                                            OutputPathFor(settings, "D:\\v\\clip.avi", PathStyle::Windows),
                                            "C:\\App\\data\\conv.exe");
  EXPECT_NE(line.find(" -b 512k -y -r 25.0 -s \t352x288 -acodec"), std::string::npos) << line;
  EXPECT_NE(line.find(" -ab 12.2k \" E:\\out\\clip.3gp\""), std::string::npos) << line;
  EXPECT_EQ(line.find("12.2kk"), std::string::npos);
}

struct OutputCase {
  PathStyle style;
  const char* folder;
  const char* source;
  const char* expected;
};

TEST(CommandLine, OutputPathFollowsTheNamingRule) {
  const std::vector<OutputCase> cases = {
      {PathStyle::Windows, "E:\\out", "D:\\v\\my.holiday.avi", "E:\\out\\my.3gp"},
      {PathStyle::Windows, "E:\\out\\", "D:\\v\\clip.avi", "E:\\out\\clip.3gp"},
      {PathStyle::Windows, "E:\\", "D:\\v\\clip.avi", "E:\\clip.3gp"},
      {PathStyle::Windows, "", "D:\\v\\clip.avi", "\\clip.3gp"},
      {PathStyle::Windows, " E:\\o ", "D:\\v\\clip.avi", " E:\\o \\clip.3gp"},
      {PathStyle::Windows, "E:\\out", "D:\\v\\clip", "E:\\out\\clip.3gp"},
      {PathStyle::Windows, "E:\\out", "D:\\v\\.avi", "E:\\out\\.3gp"},
      {PathStyle::Windows, "E:/out", "D:/v/a.avi", "E:/out\\D:/v/a.3gp"},
      {PathStyle::Posix, "/out", "/v/holiday.part1.avi", "/out/holiday.3gp"},
      {PathStyle::Posix, "/out/", "/v/clip.avi", "/out/clip.3gp"},
      {PathStyle::Posix, "", "/v/clip.avi", "/clip.3gp"},
      {PathStyle::Posix, "/out", "/v/back\\slash.avi", "/out/back\\slash.3gp"},
      {PathStyle::Posix, "C:\\out", "/v/a.avi", "C:\\out/a.3gp"},
  };
  for (const auto& c : cases) {
    ConversionSettings settings = StartupChoices(c.folder);
    EXPECT_EQ(OutputPathFor(settings, c.source, c.style), c.expected) << c.folder << " + " << c.source;
  }
  // Two sources with one base name meet at one output path.
  EXPECT_EQ(OutputPathFor(StartupChoices("E:\\o"), "D:\\a\\clip.avi", PathStyle::Windows),
            OutputPathFor(StartupChoices("E:\\o"), "D:\\b\\clip.wmv", PathStyle::Windows));
}

TEST(GetFile, SplitsNamesByTheStylesSeparatorOnly) {
  EXPECT_EQ(FileNameFromPath("D:\\v\\my.holiday.avi", PathStyle::Windows), "my.holiday.avi");
  EXPECT_EQ(FileNameFromPath("D:\\v/sub/a.avi", PathStyle::Windows), "v/sub/a.avi");
  EXPECT_EQ(FileNameFromPath("/home/u/a\\b.avi", PathStyle::Posix), "a\\b.avi");
  EXPECT_EQ(FileNameFromPath("clip.avi", PathStyle::Posix), "clip.avi");
  EXPECT_EQ(FileNameFromPath("", PathStyle::Windows), "");
  EXPECT_EQ(FileNameFromPath("D:\\v\\", PathStyle::Windows), "");
  EXPECT_EQ(FileNameFromPath("/v/", PathStyle::Posix), "");

  EXPECT_EQ(BaseNameFromPath("D:\\v\\holiday.part1.avi", PathStyle::Windows), "holiday");
  EXPECT_EQ(BaseNameFromPath("D:\\v.dir\\clip", PathStyle::Windows), "clip");
  EXPECT_EQ(BaseNameFromPath("/v.dir/clip", PathStyle::Posix), "clip");
  EXPECT_EQ(BaseNameFromPath("/v/.hidden.avi", PathStyle::Posix), "");
  EXPECT_EQ(BaseNameFromPath("", PathStyle::Posix), "");
  EXPECT_EQ(BaseNameFromPath("/v/", PathStyle::Posix), "");
  EXPECT_EQ(BaseNameFromPath("/v/caf\xC3\xA9.mov", PathStyle::Posix), "caf\xC3\xA9");
}

}  // namespace
}  // namespace vintrel
