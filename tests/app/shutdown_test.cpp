#include "app/shutdown.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;

void Touch(const fs::path& file) {
  std::ofstream(file) << "x";
}

// A non-empty folder cannot be deleted as a file, by root neither: it stands in for a locked file.
void MakeUndeletable(const fs::path& path) {
  fs::create_directories(path);
  Touch(path / "inside");
}

TEST(RemoveWithRetries, AbsentPresentAndStuckFiles) {
  TempFolder folder("vintrel-shutdown");
  int calls = 0;
  const auto count = [&calls] { ++calls; };

  EXPECT_TRUE(RemoveWithRetries(folder.Utf8("absent"), 5, count));
  EXPECT_TRUE(RemoveWithRetries("", 5, count));
  Touch(folder.Path() / "plain");
  EXPECT_TRUE(RemoveWithRetries(folder.Utf8("plain"), 5, count));
  EXPECT_FALSE(fs::exists(folder.Path() / "plain"));
  EXPECT_EQ(calls, 0);

  MakeUndeletable(folder.Path() / "stuck");
  EXPECT_FALSE(RemoveWithRetries(folder.Utf8("stuck"), 3, count));
  EXPECT_EQ(calls, 2);  // between the tries, not after the last
  EXPECT_TRUE(fs::exists(folder.Path() / "stuck" / "inside"));

#ifndef _WIN32
  fs::create_symlink(folder.Path() / "nowhere", folder.Path() / "dangling");
  EXPECT_TRUE(RemoveWithRetries(folder.Utf8("dangling"), 1, count));
  EXPECT_FALSE(fs::is_symlink(folder.Path() / "dangling"));
#endif
}

TEST(DeleteTemporaryFiles, DataFileFirstThenVideoAndAStuckOneEndsInTime) {
  TempFolder folder("vintrel-shutdown");
  const TemporaryFiles files = TemporaryFilesIn(folder.Utf8());
  MakeUndeletable(files.data);
  Touch(files.video);
  int calls = 0;
  bool videoStillThere = true;
  const bool gone = DeleteTemporaryFiles(files, 5, [&] {
    ++calls;
    videoStillThere = videoStillThere && fs::exists(files.video);
    if (calls == 2) fs::remove(fs::path(files.data) / "inside");  // the other program lets go
  });
  EXPECT_TRUE(gone);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(videoStillThere);
  EXPECT_FALSE(fs::exists(files.data));
  EXPECT_FALSE(fs::exists(files.video));

  // Held for good: the default pause runs between a bounded number of tries, then it gives up.
  MakeUndeletable(files.video);
  EXPECT_FALSE(DeleteTemporaryFiles(files));
  EXPECT_TRUE(fs::exists(files.video));
}

#ifndef _WIN32
// Runs `body` in a child process and returns its wait status.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST(CleanUpOnTermination, ASignalDeletesTheFilesAndStillEndsTheProgram) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    TempFolder folder("vintrel-shutdown");
    const TemporaryFiles files = TemporaryFilesIn(folder.Utf8());
    Touch(files.video);
    Touch(files.data);
    const int status = InChild([&] {
      CleanUpOnTermination(files);
      raise(signal);
      _exit(3);  // not reached
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_FALSE(fs::exists(files.video));
    EXPECT_FALSE(fs::exists(files.data));
  }

  // A file that cannot go does not hold the program.
  TempFolder folder("vintrel-shutdown");
  const TemporaryFiles files = TemporaryFilesIn(folder.Utf8());
  MakeUndeletable(files.data);
  const int status = InChild([&] {
    CleanUpOnTermination(files);
    raise(SIGTERM);
  });
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
}
#endif

}  // namespace
}  // namespace vintrel
