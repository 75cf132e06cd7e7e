#include "app/command_box_client.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_folder.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
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
  std::string ReadOne() {
    const int connection = accept(fd_, nullptr, nullptr);
    std::string text;
    char buffer[256];
    ssize_t got;
    while ((got = read(connection, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<std::size_t>(got));
    close(connection);
    return text;
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
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "b2"), "");
  EXPECT_EQ(listener.ReadOne(), "b2\n");
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "x€"), "");
  EXPECT_EQ(listener.ReadOne(), "x€\n");
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
  EXPECT_EQ(SendCommandBoxText(folder.Utf8(), "b2", 200), "");  // the one place in the backlog
  const std::string hung = SendCommandBoxText(folder.Utf8(), "b2", 200);
  EXPECT_NE(hung.find("the Vintrel window does not answer (waited 200 ms"), std::string::npos) << hung;

  const std::string deep = folder.Utf8() + "/" + std::string(120, 'd');
  EXPECT_NE(SendCommandBoxText(deep, "b2").find("too long"), std::string::npos);
}
#endif

}  // namespace
}  // namespace vintrel
