#include "app/command_box_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_folder.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include "app/command_box_server.h"
#include "app/launch_client.h"
#include "app/launch_server.h"
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

// Wakes `server` as a face's event loop would, until `done` is ready.
template <typename T>
T ServeUntil(LocalServer& server, std::future<T>& done) {
  while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    std::vector<pollfd> fds;
    for (const int fd : server.Descriptors()) fds.push_back({fd, POLLIN, 0});
    const auto next = server.MsToNextDeadline();
    EXPECT_TRUE(next.has_value());
    poll(fds.data(), fds.size(), static_cast<int>(std::min<std::int64_t>(next.value_or(0), 20)));
    server.Service();
  }
  return done.get();
}

// A peer that connects and stays silent.
int Connect(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

TEST(CommandBoxServer, AnswersEachTextAndRefusesPeersBeyondItsLimit) {
  TempFolder folder("vintrel-box");
  fs::permissions(folder.Path(), fs::perms::owner_all);
  CommandBoxServer server;
  std::vector<std::string> texts;
  std::vector<int> watchedDuringText;
  server.onText = [&](std::string text) {
    // A face's nested event loop may wake the server inside a text: the sender being read is
    // left alone and its text is not handed on twice.
    server.Sockets().Service();
    watchedDuringText.push_back(static_cast<int>(server.Sockets().Descriptors().size()));
    texts.push_back(std::move(text));
  };
  ASSERT_TRUE(server.Listen(folder.Utf8())) << server.ErrorText();
  auto sent = std::async(std::launch::async, [&] { return SendCommandBoxText(folder.Utf8(), "x€ b2"); });
  EXPECT_EQ(ServeUntil(server.Sockets(), sent), "");
  EXPECT_EQ(texts, std::vector<std::string>{"x€ b2"});
  EXPECT_EQ(watchedDuringText, std::vector<int>{1});  // the listener alone

  std::vector<int> silent;
  for (int i = 0; i < kCommandBoxConnections; ++i)
    silent.push_back(Connect(CommandBoxSocketPath(folder.Utf8())));
  sent = std::async(std::launch::async, [&] { return SendCommandBoxText(folder.Utf8(), "b1"); });
  EXPECT_EQ(ServeUntil(server.Sockets(), sent), "the Vintrel window is busy");
  EXPECT_EQ(server.Sockets().Descriptors().size(), 1u + kCommandBoxConnections);
  for (const int fd : silent) close(fd);
  EXPECT_EQ(texts.size(), 1u);

  CommandBoxServer second;
  EXPECT_FALSE(second.Listen(folder.Utf8()));
  EXPECT_EQ(second.ErrorText(),
            "another Vintrel window takes commands at " + CommandBoxSocketPath(folder.Utf8()));
  EXPECT_TRUE(second.Sockets().AnotherWindow());
}

TEST(LaunchServer, AnswersOnceTheFilesAreTaken) {
  TempFolder folder("vintrel-launch");
  fs::permissions(folder.Path(), fs::perms::owner_all);
  auto server = std::make_unique<LaunchServer>();
  std::vector<std::string> taken;
  bool room = true;
  server->onFiles = [&](std::vector<std::string> files) {
    if (room) taken = std::move(files);
    return room;
  };
  ASSERT_TRUE(server->Listen(folder.Utf8())) << server->ErrorText();
  const std::vector<std::string> files{"/home/u/a b.avi", "/tmp/\xff.mp4"};
  auto handed = std::async(std::launch::async, [&] { return HandToRunningWindow(folder.Utf8(), files); });
  const HandOffResult result = ServeUntil(server->Sockets(), handed);
  EXPECT_EQ(result.outcome, HandOff::Taken) << result.problem;
  EXPECT_EQ(taken, files);

  room = false;
  handed = std::async(std::launch::async, [&] { return HandToRunningWindow(folder.Utf8(), {"/c.avi"}); });
  const HandOffResult refused = ServeUntil(server->Sockets(), handed);
  EXPECT_EQ(refused.outcome, HandOff::Failed);
  EXPECT_EQ(refused.problem, "the running Vintrel window did not take the files");
  // Gone with the server: a later launch is the window itself.
  const std::string socket = LaunchSocketPath(folder.Utf8());
  EXPECT_TRUE(fs::exists(socket));
  server.reset();
  EXPECT_FALSE(fs::exists(socket));
}
#endif

}  // namespace
}  // namespace vintrel
