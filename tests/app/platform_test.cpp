#include "app/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8_path.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
// aclapi.h and sddl.h need windows.h first.
#include <aclapi.h>
#include <sddl.h>
#endif

namespace vintrel {
namespace {

using testing_support::TempFolder;

PlatformFacts Posix(bool writable) {
  PlatformFacts facts;
  facts.applicationFolderWritable = writable;
  facts.home = "/home/ann";
  facts.userId = "1000";
  return facts;
}

TEST(AppPaths, PosixPortableWhenTheApplicationFolderIsWritable) {
  const AppPaths paths = ResolveAppPathsFrom("/opt/vintrel", Posix(true));
  EXPECT_EQ(paths.applicationFolder, "/opt/vintrel");
  EXPECT_EQ(paths.settingsFile, "/opt/vintrel/setup.ini");
  EXPECT_EQ(paths.defaultOutputFolder, "/opt/vintrel/output");
  EXPECT_EQ(paths.encoderPath, "/opt/vintrel/data/conv.exe");
  EXPECT_EQ(paths.soundFile, "/opt/vintrel/sound.wav");
  EXPECT_EQ(paths.workingFolder, "/tmp/vintrel-1000");
}

TEST(AppPaths, PosixPerUserWhenTheApplicationFolderIsNot) {
  PlatformFacts facts = Posix(false);
  AppPaths paths = ResolveAppPathsFrom("/usr/lib/vintrel", facts);
  EXPECT_EQ(paths.settingsFile, "/home/ann/.config/vintrel/setup.ini");
  EXPECT_EQ(paths.defaultOutputFolder, "/home/ann/Videos/Vintrel");
  EXPECT_EQ(paths.encoderPath, "/usr/lib/vintrel/data/conv.exe");

  facts.configHome = "/cfg/";
  facts.tempDir = "/var/tmp//";
  paths = ResolveAppPathsFrom("/usr/lib/vintrel", facts);
  EXPECT_EQ(paths.settingsFile, "/cfg/vintrel/setup.ini");
  EXPECT_EQ(paths.workingFolder, "/var/tmp/vintrel-1000");

  facts.configHome = "relative/cfg";  // not absolute: ignored
  facts.tempDir = "tmp";
  paths = ResolveAppPathsFrom("/usr/lib/vintrel", facts);
  EXPECT_EQ(paths.settingsFile, "/home/ann/.config/vintrel/setup.ini");
  EXPECT_EQ(paths.workingFolder, "/tmp/vintrel-1000");
  facts.runtimeDir = "/run/user/1000/";  // preferred where it exists
  EXPECT_EQ(ResolveAppPathsFrom("/usr/lib/vintrel", facts).workingFolder, "/run/user/1000/vintrel");
  facts.runtimeDir.clear();

  // The desktop's Videos folder; Add opens there, or at home while it does not exist.
  facts.videosDir = "/home/ann/Filme/";
  facts.folderExists = [](const std::string& folder) { return folder == "/home/ann/Filme"; };
  paths = ResolveAppPathsFrom("/usr/lib/vintrel", facts);
  EXPECT_EQ(paths.defaultOutputFolder, "/home/ann/Filme/Vintrel");
  EXPECT_EQ(paths.addDialogFolder, "/home/ann/Filme");
  facts.videosDir = "Filme";  // not absolute: ignored
  EXPECT_EQ(ResolveAppPathsFrom("/usr/lib/vintrel", facts).addDialogFolder, "/home/ann");
  EXPECT_EQ(ResolveAppPathsFrom("/opt/vintrel", Posix(true)).addDialogFolder, "/opt/vintrel");

  // No home at all (or a relative one): still nothing beside the installed program.
  for (const char* home : {"", "rel"}) {
    facts.home = home;
    facts.configHome.clear();
    paths = ResolveAppPathsFrom("/usr/lib/vintrel", facts);
    EXPECT_EQ(paths.settingsFile, "/tmp/vintrel-1000/vintrel/setup.ini") << home;
    EXPECT_EQ(paths.defaultOutputFolder, "/tmp/vintrel-1000/Videos/Vintrel") << home;
  }
}

TEST(AppPaths, VideosFolderFromUserDirs) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Musik\"\nXDG_VIDEOS_DIR=\"$HOME/Filme\"\n",
       "/home/ann/Filme"},
      {"XDG_VIDEOS_DIR=\"/srv/clips/\"", "/srv/clips"},
      {"XDG_VIDEOS_DIR=\"$HOME/\"\n", "/home/ann"},
      {"  XDG_VIDEOS_DIR=\"$HOME/My \\\"Clips\\\"\"\n", "/home/ann/My \"Clips\""},
      {"XDG_VIDEOS_DIR=\"$HOME/A\"\nXDG_VIDEOS_DIR=\"$HOME/B\"\n", "/home/ann/B"},  // the last counts
      {"XDG_VIDEOS_DIR=\"$HOMEX/A\"\n", ""},
      {"XDG_VIDEOS_DIR=\"Videos\"\n", ""},
      {"XDG_VIDEOS_DIR=\"$HOME/unclosed\n", ""},
      {"#XDG_VIDEOS_DIR=\"/x\"\nXDG_VIDEOS_DIRS=\"/y\"", ""},
  };
  for (const auto& [text, folder] : cases)
    EXPECT_EQ(VideosFolderFromUserDirs(text, "/home/ann"), folder) << text;
  EXPECT_EQ(VideosFolderFromUserDirs("XDG_VIDEOS_DIR=\"$HOME/Filme\"", ""), "");
}

TEST(AppPaths, WindowsKeepsTheClassicLayout) {
  PlatformFacts facts;
  facts.windows = true;
  facts.applicationFolderWritable = true;
  facts.home = "C:\\Users\\Ann";
  facts.configHome = "C:\\Users\\Ann\\AppData\\Roaming";
  AppPaths paths = ResolveAppPathsFrom("D:\\Tools\\Vintrel", facts);
  EXPECT_EQ(paths.workingFolder, "c:\\tmp");
  EXPECT_EQ(paths.settingsFile, "D:\\Tools\\Vintrel\\setup.ini");
  EXPECT_EQ(paths.defaultOutputFolder, "D:\\Tools\\Vintrel\\output");
  EXPECT_EQ(paths.encoderPath, "D:\\Tools\\Vintrel\\data\\conv.exe");
  EXPECT_EQ(paths.soundFile, "D:\\Tools\\Vintrel\\sound.wav");
  EXPECT_EQ(ResolveAppPathsFrom("C:\\", facts).encoderPath, "C:\\data\\conv.exe");

  facts.applicationFolderWritable = false;
  paths = ResolveAppPathsFrom("C:\\Program Files\\Vintrel", facts);
  EXPECT_EQ(paths.settingsFile, "C:\\Users\\Ann\\AppData\\Roaming\\Vintrel\\setup.ini");
  EXPECT_EQ(paths.defaultOutputFolder, "C:\\Users\\Ann\\Videos\\Vintrel");
  EXPECT_EQ(paths.encoderPath, "C:\\Program Files\\Vintrel\\data\\conv.exe");
}

TEST(AppPaths, JoinAddsASeparatorOnlyWhenNeeded) {
  EXPECT_EQ(JoinPath("/a", "b", PathStyle::Posix), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b", PathStyle::Posix), "/a/b");
  EXPECT_EQ(JoinPath("/", "b", PathStyle::Posix), "/b");
  EXPECT_EQ(JoinPath("", "b", PathStyle::Posix), "b");
  EXPECT_EQ(JoinPath("C:\\", "b", PathStyle::Windows), "C:\\b");
  EXPECT_EQ(JoinPath("C:\\a", "b", PathStyle::Windows), "C:\\a\\b");
  EXPECT_EQ(JoinPath("C:/a/", "b", PathStyle::Windows), "C:/a/\\b");
}

TEST(Platform, ApplicationFolderHoldsThisProgram) {
  const std::string folder = ApplicationFolder();
  ASSERT_FALSE(folder.empty());
  const auto path = PathFromUtf8(folder);
  EXPECT_TRUE(std::filesystem::exists(path / "platform_test") ||
              std::filesystem::exists(path / "platform_test.exe"))
      << folder;
  EXPECT_NE(folder.back(), '/');
}

TEST(Platform, WritableProbeLeavesNothingBehind) {
  TempFolder folder("vintrel-w\xC3\xA9");
  EXPECT_TRUE(IsFolderWritable(folder.Utf8()));
  EXPECT_EQ(folder.EntryCount(), 0u);
  EXPECT_FALSE(IsFolderWritable(folder.Utf8("missing")));
  EXPECT_FALSE(IsFolderWritable(""));
  std::ofstream(folder.Path() / "file").put('x');
  EXPECT_FALSE(IsFolderWritable(folder.Utf8("file")));
}

TEST(Platform, ReplaceFileContentsSwapsWholeFiles) {
  TempFolder folder;
  const std::string file = folder.Utf8("data.txt");
  ASSERT_TRUE(ReplaceFileContents(file, "first"));
  ASSERT_TRUE(ReplaceFileContents(file, std::string(100000, 'z')));
  EXPECT_EQ(std::filesystem::file_size(folder.Path() / "data.txt"), 100000u);
  EXPECT_EQ(folder.EntryCount(), 1u);
  EXPECT_FALSE(ReplaceFileContents(folder.Utf8(""), "x"));  // the folder itself
  EXPECT_FALSE(ReplaceFileContents(folder.Utf8("no/such/folder.txt"), "x"));
  EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(Platform, CreatePrivateFolderMakesNestedFolders) {
  TempFolder folder;
  const std::string nested = folder.Utf8("a/b/vintrel-0");
  EXPECT_TRUE(CreatePrivateFolder(nested));
  EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(nested)));
  EXPECT_TRUE(CreatePrivateFolder(nested));  // already there
  std::ofstream(folder.Path() / "file").put('x');
  EXPECT_FALSE(CreatePrivateFolder(folder.Utf8("file")));
  EXPECT_FALSE(CreatePrivateFolder(""));
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(stat(nested.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A folder others may write to, or a link planted in its place, is refused.
  const std::string open = folder.Utf8("open");
  std::filesystem::create_directory(open);
  std::filesystem::permissions(open, std::filesystem::perms::all);
  EXPECT_FALSE(CreatePrivateFolder(open));
  EXPECT_EQ(PrivateFolderProblem(open), "others may write to " + open);
  std::filesystem::create_directory_symlink(nested, folder.Path() / "link");
  EXPECT_FALSE(CreatePrivateFolder(folder.Utf8("link")));
  EXPECT_EQ(PrivateFolderProblem(folder.Utf8("link")), folder.Utf8("link") + " is not a folder");
  EXPECT_EQ(PrivateFolderProblem(nested), "");
#else
  // Any user may make c:\tmp first, open to everyone: its files are then not ours to delete.
  PSECURITY_DESCRIPTOR everyone = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                   &everyone, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(everyone, &present, &list, &defaulted));
  const std::string open = folder.Utf8("open");
  std::filesystem::create_directory(PathFromUtf8(open));
  // Set after creation: wine keeps an access list given this way (as the folder's mode).
  std::wstring wide = PathFromUtf8(open).wstring();
  EXPECT_EQ(SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, list, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(everyone);
  EXPECT_FALSE(CreatePrivateFolder(open));
  EXPECT_EQ(PrivateFolderProblem(open), "others may write to " + open);
  EXPECT_EQ(PrivateFolderProblem(nested), "");
#endif
}

#ifndef _WIN32
TEST(Platform, ResolveAppPathsReadsTheEnvironment) {
  TempFolder folder;
  setenv("XDG_CONFIG_HOME", folder.Utf8("cfg").c_str(), 1);
  setenv("TMPDIR", "/var/tmp", 1);
  setenv("XDG_RUNTIME_DIR", folder.Utf8("no-such-folder").c_str(), 1);
  const AppPaths writable = ResolveAppPaths(folder.Utf8());
  EXPECT_EQ(writable.settingsFile, folder.Utf8("setup.ini"));
  EXPECT_EQ(writable.workingFolder, "/var/tmp/vintrel-" + std::to_string(getuid()));

  const AppPaths perUser = ResolveAppPaths(folder.Utf8("not-there"));
  EXPECT_EQ(perUser.settingsFile, folder.Utf8("cfg/vintrel/setup.ini"));
  setenv("XDG_RUNTIME_DIR", folder.Utf8().c_str(), 1);
  EXPECT_EQ(ResolveAppPaths(folder.Utf8()).workingFolder, folder.Utf8("vintrel"));
  unsetenv("XDG_RUNTIME_DIR");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("TMPDIR");
}
#endif

}  // namespace
}  // namespace vintrel
