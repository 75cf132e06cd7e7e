#include "base/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "temp_folder.h"

namespace vintrel {
namespace {

// Spellings alone: Windows style compares folded names, POSIX style the bytes; neither needs
// the file to exist.
TEST(SameFile, SpellingsCompareAsTheStyleComparesNames) {
  EXPECT_TRUE(SameFile("/nowhere/a.avi", "/nowhere/a.avi", PathStyle::Posix));
  EXPECT_FALSE(SameFile("/nowhere/a.avi", "/nowhere/A.avi", PathStyle::Posix));
  EXPECT_FALSE(SameFile("/nowhere/a.avi", "/nowhere/b.avi", PathStyle::Posix));
  EXPECT_TRUE(SameFile("C:\\Clips\\Straße.AVI", "c:\\clips\\STRASSE.avi", PathStyle::Windows));
  EXPECT_TRUE(SameFile("C:\\Clips\\Café.avi", "C:\\Clips\\cafe\u0301.avi", PathStyle::Windows));
  EXPECT_FALSE(SameFile("C:\\Clips\\ı.avi", "C:\\Clips\\i.avi", PathStyle::Windows));
  EXPECT_FALSE(SameFile("C:\\Clips\\a.avi", "C:\\Clips\\a.avi.3gp", PathStyle::Windows));
  EXPECT_EQ(NameAsCompared("ÀB", PathStyle::Posix), "ÀB");
  EXPECT_EQ(NameAsCompared("ÀB", PathStyle::Windows), "a\u0300b");
}

// Different spellings of one existing file are one file; a copy, a missing name or the folder
// holding it are not.
TEST(SameFile, TwoNamesOfOneExistingFileAreOneFile) {
  testing_support::TempFolder folder;
  const PathStyle style = NativePathStyle();
  testing_support::WriteFile(folder.Path() / "a.avi", "clip");
  testing_support::WriteFile(folder.Path() / "copy.avi", "clip");
  std::filesystem::create_directory(folder.Path() / "sub");
  std::filesystem::create_hard_link(folder.Path() / "a.avi", folder.Path() / "linked.avi");
  const std::string a = folder.Utf8("a.avi");
  EXPECT_TRUE(SameFile(a, JoinPath(folder.Utf8("sub"), JoinPath("..", "a.avi", style), style), style));
  EXPECT_TRUE(SameFile(a, folder.Utf8("linked.avi"), style));
  EXPECT_FALSE(SameFile(a, folder.Utf8("copy.avi"), style));
  EXPECT_FALSE(SameFile(a, folder.Utf8("missing.avi"), style));
  EXPECT_FALSE(SameFile(folder.Utf8("missing.avi"), folder.Utf8("other.avi"), style));
  EXPECT_FALSE(SameFile(a, folder.Utf8(), style));
#ifndef _WIN32
  std::filesystem::create_symlink(folder.Path() / "a.avi", folder.Path() / "pointer.avi");
  EXPECT_TRUE(SameFile(folder.Utf8("pointer.avi"), a, style));
  // A link that leads nowhere names no file at all.
  std::filesystem::create_symlink(folder.Path() / "missing.avi", folder.Path() / "dangling.avi");
  EXPECT_FALSE(SameFile(folder.Utf8("dangling.avi"), folder.Utf8("missing.avi"), style));
#endif
}

}  // namespace
}  // namespace vintrel
