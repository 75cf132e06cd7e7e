#include "app/command_box_client.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_folder.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#endif

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;

TEST(CommandBoxText, OneLineOfBoundedLength) {
  EXPECT_EQ(CommandBoxTextProblem("b2"), "");
  EXPECT_EQ(CommandBoxTextProblem(""), "");
  EXPECT_EQ(CommandBoxTextProblem(std::string(kCommandBoxMaxText, 'a')), "");
  EXPECT_NE(CommandBoxTextProblem(std::string(kCommandBoxMaxText + 1, 'a')), "");
  using namespace std::string_view_literals;
  for (std::string_view text : {"b2\nb0"sv, "b2\r"sv, "b\0002"sv}) {
    EXPECT_EQ(CommandBoxTextProblem(text), "the text must be a single line");
    EXPECT_EQ(SendCommandBoxText("/nonexistent", text), "the text must be a single line");
  }
}

#ifndef _WIN32
// A stand-in for the window: listens where the window would and reads one connection.
class Listener {
 public:
  explicit Listener(const std::string& path, int backlog = 4) {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, backlog), 0);
  }
  ~Listener() { close(fd_); }
  // Serves the next connection on another thread: reads one line, then answers `reply` (none
  // when empty) and closes. The line read, without its line feed.
  std::future<std::string> Serve(std::string reply) {
    return std::async(std::launch::async, [this, reply] {
      const int connection = accept(fd_, nullptr, nullptr);
      std::string text;
      char c = 0;
      while (read(connection, &c, 1) == 1 && c != '\n') text += c;
      if (!reply.empty()) {
        EXPECT_GT(write(connection, reply.data(), reply.size()), 0);
      }
      close(connection);
      return text;
    });
  }

 private:
  int fd_ = -1;
};

TEST(SendCommandBoxText, ReachesTheSocketInTheWorkingFolder) {
  TempFolder folder("vintrel-box");
  fs::permissions(folder.Path(), fs::perms::owner_all);
  const std::string path = CommandBoxSocketPath(folder.Utf8());
  EXPECT_EQ(path, folder.Utf8() + "/command-box");
  Listener listener(path);
  auto served = listener.Serve("ok\n");
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "b2"), "");
  EXPECT_EQ(served.get(), "b2");
  served = listener.Serve("ok\n");
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "x€"), "");
  EXPECT_EQ(served.get(), "x€");
  // Handed over is not taken: a window at its limit of senders says so, one that drops the
  // text says nothing.
  served = listener.Serve("busy\n");
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "b2"), "the Vintrel window is busy");
  served.get();
  served = listener.Serve("");
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "b2"), "the Vintrel window did not take the text");
  served.get();
}

TEST(SendCommandBoxText, SaysWhyWhenNoWindowListensOrTheFolderIsNotPrivate) {
  TempFolder folder("vintrel-box");
  fs::permissions(folder.Path(), fs::perms::owner_all);
  const std::string missing = SendCommandBoxText(folder.Utf8("absent"), "b2");
  EXPECT_NE(missing.find("no Vintrel window is running"), std::string::npos) << missing;
  const std::string nobody = SendCommandBoxText(folder.Utf8(), "b2");
  EXPECT_NE(nobody.find("nothing listens at " + folder.Utf8() + "/command-box"), std::string::npos) << nobody;

  Listener listener(CommandBoxSocketPath(folder.Utf8()));
  fs::permissions(folder.Path(), fs::perms::all);
  const std::string shared = SendCommandBoxText(folder.Utf8(), "b2");
  EXPECT_NE(shared.find("not a folder of this user alone"), std::string::npos) << shared;

  // A window that stops accepting (kill -STOP) fills its backlog: the sender gives up in time.
  fs::permissions(folder.Path(), fs::perms::owner_all);
  fs::remove(CommandBoxSocketPath(folder.Utf8()));
  Listener stopped(CommandBoxSocketPath(folder.Utf8()), 0);
  for (int sender = 0; sender < 2; ++sender) {  // in the one place in the backlog, then beyond
    const std::string hung = SendCommandBoxText(folder.Utf8(), "b2", 200);
    EXPECT_NE(hung.find("the Vintrel window does not answer (waited 200 ms"), std::string::npos) << hung;
  }

  const std::string deep = folder.Utf8() + "/" + std::string(120, 'd');
  EXPECT_NE(SendCommandBoxText(deep, "b2").find("too long"), std::string::npos);
}
#endif

}  // namespace
}  // namespace vintrel
