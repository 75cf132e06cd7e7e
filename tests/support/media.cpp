#include "media.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace vintrel::testing_support {

namespace fs = std::filesystem;

bool Ffmpeg(const std::vector<std::string>& arguments, std::string* errors) {
  std::vector<std::string> all{VINTREL_FFMPEG, "-nostdin", "-v", "error", "-y"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (const std::string& argument : all) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string said;
  char buffer[4096];
  while (started == 0) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      said.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  if (started != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (errors != nullptr) *errors = said;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> TestPicture(const std::string& size, double seconds, int rate) {
  return {"-f", "lavfi", "-i",
          "testsrc2=size=" + size + ":rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds)};
}

std::vector<std::string> TestTone(double seconds) {
  return {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds)};
}

std::string Clip(const std::string& fileName, const std::vector<std::string>& ffmpegArgs) {
  std::string joined;
  for (const std::string& arg : ffmpegArgs) joined += arg + '\x1f';
  const fs::path name(fileName);
  std::ostringstream stem;
  stem << name.stem().string() << '-' << std::hex << std::hash<std::string>{}(joined);
  const fs::path folder(VINTREL_CLIP_CACHE);
  fs::create_directories(folder);
  const fs::path path = folder / (stem.str() + name.extension().string());
  if (fs::exists(path)) return path.string();
  // Another test program may be making the same clip: each writes its own file, then renames.
  const fs::path partial =
      folder / (stem.str() + ".part" + std::to_string(getpid()) + name.extension().string());
  std::vector<std::string> args = ffmpegArgs;
  args.push_back(partial.string());
  std::string errors;
  if (!Ffmpeg(args, &errors)) throw std::runtime_error("ffmpeg could not make " + fileName + ": " + errors);
  fs::rename(partial, path);
  return path.string();
}

}  // namespace vintrel::testing_support
