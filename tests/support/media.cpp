#include "media.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "processes.h"

namespace vintrel::testing_support {

namespace fs = std::filesystem;

bool Ffmpeg(const std::vector<std::string>& arguments, std::string* errors) {
  std::vector<std::string> argv{VINTREL_FFMPEG, "-nostdin", "-v", "error", "-y"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  RunOptions options = Within(600);
  options.joinedPipe = true;
  const RunResult run = RunProgram(argv, options);
  if (errors != nullptr) *errors = run.out;
  return run.exitCode == 0;
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
