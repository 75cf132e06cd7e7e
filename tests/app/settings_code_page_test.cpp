// The output folder between setup.ini and the program: the ANSI code page on Windows (the
// Windows tests run with Windows-1252), the bytes as they are elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "base/utf8_path.h"
#include "settings_choices.h"
#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vintrel {
namespace {

using testing_support::TempFolder;

constexpr const char* kFirstLines = "\"2\"\r\n\"2\"\r\n\"0\"\r\n\"1\"\r\n";

std::string FileText(const std::string& file) {
  std::ifstream in(PathFromUtf8(file), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#ifdef _WIN32
constexpr bool kAnsi = true;
#else
constexpr bool kAnsi = false;
#endif

TEST(SettingsCodePage, FolderReadFromAFileOfAnotherProgram) {
#ifdef _WIN32
  ASSERT_EQ(GetACP(), 1252u) << "these cases are written for Windows-1252";
#endif
  TempFolder temp;
  const std::string file = temp.Utf8("setup.ini");
  struct Case {
    std::string stored, expected;
  };
  const Case cases[] = {
      {"C:\\Vid\xE9os\\3gp", kAnsi ? "C:\\Vid\xC3\xA9os\\3gp" : "C:\\Vid\xE9os\\3gp"},
      {"D:\\Caf\xC3\xA9", "D:\\Caf\xC3\xA9"},  // valid UTF-8 stays UTF-8
      {"E:\\\x80 and \xA3", kAnsi ? "E:\\\xE2\x82\xAC and \xC2\xA3" : "E:\\\x80 and \xA3"},
      {"F:\\plain", "F:\\plain"},
  };
  for (const Case& c : cases) {
    std::ofstream(PathFromUtf8(file), std::ios::binary) << kFirstLines << '"' << c.stored << "\"\r\n";
    StoredSettings settings;
    ASSERT_TRUE(LoadSettings(file, settings));
    EXPECT_EQ(settings.outputFolder, c.expected) << c.stored;
    EXPECT_EQ(settings.AudioBitrate(), 1);
  }
}

TEST(SettingsCodePage, FolderWrittenInTheCodePageWhenItFitsAndReadBackWhole) {
#ifdef _WIN32
  ASSERT_EQ(GetACP(), 1252u) << "these cases are written for Windows-1252";
#endif
  TempFolder temp;
  const std::string file = temp.Utf8("setup.ini");
  struct Case {
    std::string folder, stored;
  };
  const Case cases[] = {
      {"C:\\Vid\xC3\xA9os, \xE2\x82\xAC", kAnsi ? "C:\\Vid\xE9os, \x80" : "C:\\Vid\xC3\xA9os, \xE2\x82\xAC"},
      // Cyrillic has no place in Windows-1252: the whole folder stays UTF-8.
      {"C:\\\xD0\x92\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE \xC3\xA9",
       "C:\\\xD0\x92\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE \xC3\xA9"},
      // In Windows-1252 these two read as the UTF-8 of "é": kept in UTF-8 so they come back.
      {"C:\\\xC3\x83\xC2\xA9", "C:\\\xC3\x83\xC2\xA9"},
      {"C:\\out", "C:\\out"},
  };
  for (const Case& c : cases) {
    const StoredSettings saved = testing_support::Stored({{Picker::VideoBitrate, 1},
                                                          {Picker::FrameSize, 2},
                                                          {Picker::FrameRate, 3},
                                                          {Picker::AudioBitrate, 4}},
                                                         c.folder);
    ASSERT_TRUE(SaveSettings(file, saved)) << c.folder;
    EXPECT_EQ(FileText(file), "\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n\"" + c.stored + "\"\r\n");
    StoredSettings loaded;
    ASSERT_TRUE(LoadSettings(file, loaded));
    EXPECT_EQ(loaded.outputFolder, c.folder);
  }
}

}  // namespace
}  // namespace vintrel
