#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "settings_choices.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vintrel {
namespace {

using testing_support::IndexesText;
using testing_support::ReadFile;
using testing_support::Stored;
using testing_support::TempFolder;

struct ParseCase {
  const char* name;
  std::string text;
  std::string indexes;  // in setup.ini's order
  std::string folder;
};

TEST(Settings, ReadsFieldsByTheFileRules) {
  const std::vector<ParseCase> cases = {
      {"saved defaults", "\"2\"\r\n\"2\"\r\n\"0\"\r\n\"1\"\r\n\"C:\\Converter\\output\"\r\n", "2 2 0 1",
       "C:\\Converter\\output"},
      {"every last item", "\"4\"\r\n\"3\"\r\n\"3\"\r\n\"7\"\r\n\"/v\"\r\n", "4 3 3 7", "/v"},
      {"three lines", "\"4\"\r\n\"3\"\r\n\"3\"\r\n", "4 3 3 1", ""},
      {"size out of range", "\"0\"\r\n\"7\"\r\n\"1\"\r\n\"2\"\r\n\"x\"\r\n", "0 2 1 2", "x"},
      {"negative", "\"-1\"\r\n\"1\"\r\n\"1\"\r\n\"1\"\r\n\"x\"\r\n", "2 1 1 1", "x"},
      {"not a number", "\"1\"\r\n\"1\"\r\n\"1\"\r\n\"5.15k\"\r\n\"D:\\o\"\r\n", "1 1 1 1", "D:\\o"},
      {"fraction", "\"1.6\"\r\n\"0.0\"\r\n\"1\"\r\n\"3\"\r\n\"x\"\r\n", "2 2 1 3", "x"},
      {"huge", "\"99999999999\"\r\n\"\"\r\n\"1\"\r\n\"3\"\r\n\"x\"\r\n", "2 2 1 3", "x"},
      {"comma in folder", "\"1\"\r\n\"1\"\r\n\"1\"\r\n\"1\"\r\n\"C:\\Video, new\\out\"\r\n", "1 1 1 1",
       "C:\\Video, new\\out"},
      {"empty folder", "\"1\"\r\n\"1\"\r\n\"1\"\r\n\"1\"\r\n\"\"\r\n", "1 1 1 1", ""},
      {"unquoted", "3\r\n1\r\n  2\r\n7  \r\nD:\\out dir  \r\n", "3 1 2 7", "D:\\out dir"},
      {"unquoted comma ends", "1\r\n1\r\n1\r\n1\r\nC:\\Video, new\\out\r\n", "1 1 1 1", "C:\\Video"},
      {"two fields on a line", "\"1\",\"3\"\r\n\"2\"\r\n\"0\"\r\n\"E:\\x\"\r\n", "1 3 2 0", "E:\\x"},
      {"rest of line skipped", "\"1\" junk\r\n\"3\"x,\"2\"\r\n\"0\"\r\n\"4\"\r\n", "1 3 2 0", "4"},
      {"blanks around", "  \"1\"  \r\n\t\"0\"\r\n\" 3 \"\r\n\"0\"\r\n  \" keep \"  \r\n", "1 0 3 0",
       " keep "},
      {"LF only, no final break", "\"0\"\n\"0\"\n\"0\"\n\"0\"\n\"/o\"", "0 0 0 0", "/o"},
      {"CR only", "\"0\"\r\"1\"\r\"2\"\r\"3\"\r\"/o\"\r", "0 1 2 3", "/o"},
      {"byte order mark", "\xEF\xBB\xBF\"0\"\r\n\"0\"\r\n\"1\"\r\n\"0\"\r\n\"/o\"\r\n", "0 0 1 0", "/o"},
      {"unclosed quote", "\"1\"\r\n\"1\"\r\n\"1\"\r\n\"1\"\r\n\"/o\r\n", "1 1 1 1", "/o\r\n"},
      {"empty lines", "\r\n\r\n\"3\"\r\n", "2 2 3 1", ""},
      {"empty file", "", "2 2 0 1", ""},
      {"garbage", "\x01\x02\xff\"", "2 2 0 1", ""},
  };
  for (const auto& c : cases) {
    StoredSettings settings;
    ParseSettings(c.text, settings);
    EXPECT_EQ(IndexesText(settings), c.indexes) << c.name;
    EXPECT_EQ(settings.outputFolder, c.folder) << c.name;
  }
}

TEST(Settings, WritesFiveQuotedCrLfLines) {
  StoredSettings settings;
  settings.outputFolder = "C:\\Converter\\output";
  EXPECT_EQ(SerializeSettings(settings), "\"2\"\r\n\"2\"\r\n\"0\"\r\n\"1\"\r\n\"C:\\Converter\\output\"\r\n");
  settings = Stored(
      {{Picker::VideoBitrate, 4}, {Picker::FrameSize, 0}, {Picker::FrameRate, 3}, {Picker::AudioBitrate, 7}});
  EXPECT_EQ(SerializeSettings(settings), "\"4\"\r\n\"0\"\r\n\"3\"\r\n\"7\"\r\n\"\"\r\n");
}

TEST(Settings, FolderTextsSurviveARoundTrip) {
  const std::vector<std::string> folders = {
      "",      "C:\\Video, new\\out", " leading",       "trailing ",         "E:\\",
      "/a\"b", "/multi\nline",        "/caf\xC3\xA9/x", "/path with, comma", "/tab\there",
  };
  for (const auto& folder : folders) {
    const StoredSettings saved = Stored({{Picker::AudioBitrate, 6}}, folder);
    StoredSettings loaded;
    ParseSettings(SerializeSettings(saved), loaded);
    EXPECT_TRUE(FolderFitsSettingsFile(folder)) << folder;
    EXPECT_EQ(loaded.outputFolder, folder);
    EXPECT_EQ(loaded.AudioBitrate(), 6);
  }
  // A quote together with a comma cannot be stored; it must not turn into another folder.
  for (const std::string folder : {"/a\"b,c", "\"/q", "/q\" "}) {
    EXPECT_FALSE(FolderFitsSettingsFile(folder)) << folder;
    StoredSettings loaded;
    ParseSettings(SerializeSettings(Stored({{Picker::FrameSize, 1}}, folder)), loaded);
    EXPECT_EQ(loaded.outputFolder, "") << folder;
    EXPECT_EQ(loaded.FrameSize(), 1);
  }
}

TEST(SettingsFile, MissingFileKeepsDefaults) {
  TempFolder folder;
  StoredSettings settings;
  settings.outputFolder = "untouched";
  EXPECT_FALSE(LoadSettings(folder.Utf8("setup.ini"), settings));
  EXPECT_EQ(settings, Stored({}, "untouched"));
  std::filesystem::create_directory(folder.Path() / "setup.ini");
  EXPECT_FALSE(LoadSettings(folder.Utf8("setup.ini"), settings));
}

TEST(SettingsFile, SavesAndLoadsThroughAUnicodeFolder) {
  TempFolder folder("vintrel-t\xC3\xA9st-\xE6\x98\xA0\xE5\x83\x8F");
  const std::string file = folder.Utf8("per user/vintrel/setup.ini");  // created on save
  const StoredSettings saved =
      Stored({{Picker::FrameSize, 3}, {Picker::AudioBitrate, 7}}, "/home/u/Vid\xC3\xA9os, new");
  ASSERT_TRUE(SaveSettings(file, saved));
  StoredSettings loaded;
  ASSERT_TRUE(LoadSettings(file, loaded));
  EXPECT_EQ(SerializeSettings(loaded), SerializeSettings(saved));

  const StoredSettings changed = Stored({{Picker::VideoBitrate, 4}}, "/elsewhere");
  ASSERT_TRUE(SaveSettings(file, changed));
  EXPECT_EQ(ReadFile(PathFromUtf8(file)), SerializeSettings(changed));
  // Only setup.ini: no temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathFromUtf8(file).parent_path()), {}), 1);
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile) {
  TempFolder folder;
  const std::string file = folder.Utf8("setup.ini");
  const StoredSettings old = Stored({{Picker::FrameSize, 1}}, "/old");
  ASSERT_TRUE(SaveSettings(file, old));

  // A folder in the way of the file.
  EXPECT_FALSE(SaveSettings(folder.Utf8("setup.ini/inner.ini"), old));
  // A folder text that cannot be stored is a failure too, though the indexes are kept.
  EXPECT_FALSE(SaveSettings(folder.Utf8("other.ini"), Stored({{Picker::VideoBitrate, 3}}, "/a\"b,c")));

  std::filesystem::permissions(PathFromUtf8(file), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read);
#ifndef _WIN32
  if (geteuid() != 0)  // root writes read-only files anyway
#endif
  {
    EXPECT_FALSE(SaveSettings(file, Stored({{Picker::VideoBitrate, 4}}, "/new")));
    EXPECT_EQ(ReadFile(PathFromUtf8(file)), SerializeSettings(old));
  }
  EXPECT_EQ(folder.EntryCount(), 2u);  // setup.ini and other.ini
  std::filesystem::permissions(PathFromUtf8(file), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

#ifndef _WIN32
TEST(SettingsFile, WriteErrorMidwayKeepsTheOldFileAndLeavesNoTemporary) {
  TempFolder folder;
  const std::string file = folder.Utf8("setup.ini");
  const StoredSettings old = Stored({{Picker::FrameSize, 1}}, "/old");
  ASSERT_TRUE(SaveSettings(file, old));

  // The file-size limit makes the write fail as a full disk would, even for root.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit tight = saved;
  tight.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool result =
      SaveSettings(file, Stored({{Picker::VideoBitrate, 4}}, "/new/" + std::string(200, 'x')));
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(result);
  EXPECT_EQ(ReadFile(PathFromUtf8(file)), SerializeSettings(old));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(SettingsFile, SaveKeepsTheLinkAndTheFileMode) {
  TempFolder folder;
  const auto real = folder.Path() / "real.ini";
  const auto link = folder.Path() / "setup.ini";
  ASSERT_TRUE(SaveSettings(real.string(), {}));
  std::filesystem::permissions(real,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink(real, link);

  const StoredSettings changed = Stored({{Picker::FrameSize, 0}}, "/x");
  ASSERT_TRUE(SaveSettings(link.string(), changed));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real), SerializeSettings(changed));
  EXPECT_EQ(std::filesystem::status(real).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
#endif

TEST(SettingsFile, HugeFileIsReadWithoutTrouble) {
  TempFolder folder;
  const auto file = folder.Path() / "setup.ini";
  {
    std::ofstream out(file, std::ios::binary);
    out << "\"3\"\r\n\"1\"\r\n\"" << std::string(3 << 20, '7') << "\"\r\n";
  }
  StoredSettings settings;
  EXPECT_TRUE(LoadSettings(Utf8FromPath(file), settings));
  EXPECT_EQ(IndexesText(settings), "3 1 0 1");
  EXPECT_EQ(settings.outputFolder, "");
}

}  // namespace
}  // namespace vintrel
