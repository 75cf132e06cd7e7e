#include "intake/open_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vintrel {
namespace {

using namespace std::string_literals;

TEST(OpenFiles, TheAddButtonsFilterHasNinePairs) {
  const std::vector<FilterPair> expected = {
      {"AVI Format(*.AVI)", "*.avi"}, {"FLV Format(*.FLV)", "*.flv"}, {"WMV Format(*.wmv)", "*.wmv"},
      {"MOV Format(*.mov)", "*.mov"}, {"DAT Format(*.dat)", "*.dat"}, {"ASF Format(*.asf)", "*.asf"},
      {"MPG Format(*.mpg)", "*.mpg"}, {"MP4 Format(*.mp4)", "*.mp4"}, {"All(*.*)", "*.*"},
  };
  EXPECT_EQ(SplitFilter(kOpenFilesFilter), expected);
}

TEST(OpenFiles, ConvertsBarsToNulTerminatedPieces) {
  EXPECT_EQ(ConvertFilter("a|b|c|d"), "a\0b\0c\0d\0"s);
  EXPECT_EQ(ConvertFilter(""), "*.*\0*.*\0"s);
  EXPECT_EQ(ConvertFilter("   "), "*.*\0*.*\0"s);
  EXPECT_EQ(ConvertFilter(" a |b"), " a \0b\0"s);  // only a blank filter is replaced
  EXPECT_EQ(ConvertFilter("a||b|"), "a\0\0b\0\0"s);
  const std::string converted = ConvertFilter(kOpenFilesFilter);
  EXPECT_EQ(std::count(converted.begin(), converted.end(), '\0'), 18);
  EXPECT_TRUE(converted.starts_with("AVI Format(*.AVI)\0*.avi\0FLV"s));
  EXPECT_TRUE(converted.ends_with("All(*.*)\0*.*\0"s));

  EXPECT_EQ(SplitFilter("  "), (std::vector<FilterPair>{{"*.*", "*.*"}}));
  EXPECT_EQ(SplitFilter("Video|*.avi|Lonely"), (std::vector<FilterPair>{{"Video", "*.avi"}}));
}

TEST(OpenFiles, StartFolderFallsBackToTheProgramFolder) {
  std::vector<std::string> asked;
  const auto listsSomething = [&](const std::string& folder) {
    asked.push_back(folder);
    return folder != "D:\\empty\\";
  };
  EXPECT_EQ(ResolveStartFolder("", "C:\\App", listsSomething, '\\'), "C:\\App");
  EXPECT_EQ(ResolveStartFolder("   ", "C:\\App", listsSomething, '\\'), "C:\\App");
  EXPECT_TRUE(asked.empty());  // a blank folder is never listed
  EXPECT_EQ(ResolveStartFolder(" D:\\clips ", "C:\\App", listsSomething, '\\'), "D:\\clips\\");
  EXPECT_EQ(ResolveStartFolder("D:\\clips\\", "C:\\App", listsSomething, '\\'), "D:\\clips\\");
  EXPECT_EQ(ResolveStartFolder("D:\\empty", "C:\\App", listsSomething, '\\'), "C:\\App");
  EXPECT_EQ(ResolveStartFolder("/home/u", "/opt/v", listsSomething, '/'), "/home/u/");
  EXPECT_EQ(asked, (std::vector<std::string>{"D:\\clips\\", "D:\\clips\\", "D:\\empty\\", "/home/u/"}));
  EXPECT_EQ(ResolveStartFolder("/x", "/opt/v", nullptr, '/'), "/opt/v");
}

TEST(OpenFiles, FolderHasEntriesCountsHiddenEntries) {
  std::random_device device;
  const auto root = std::filesystem::temp_directory_path() / ("vintrel-open-" + std::to_string(device()));
  std::filesystem::create_directories(root / "empty");
  EXPECT_TRUE(FolderHasEntries(root.string()));
  EXPECT_FALSE(FolderHasEntries((root / "empty").string()));
  EXPECT_FALSE(FolderHasEntries((root / "missing").string()));
  std::ofstream(root / "empty" / ".hidden").put('x');
  EXPECT_TRUE(FolderHasEntries((root / "empty").string()));
  // With the real listing: a start folder that lists something is kept.
  const std::string start = ResolveStartFolder(root.string(), "/prog", FolderHasEntries);
  EXPECT_NE(start, "/prog");
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace vintrel
