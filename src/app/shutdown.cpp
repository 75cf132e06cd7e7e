#include "app/shutdown.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/utf8_path.h"

namespace vintrel {
namespace {

bool Present(const std::filesystem::path& path) {
  std::error_code error;
  // A dangling link is still something to delete.
  return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

void Pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(kUnloadRetryPauseMs));
}

}  // namespace

bool RemoveWithRetries(const std::string& file, int tries, const std::function<void()>& between) {
  if (file.empty()) return true;
  const std::filesystem::path path = PathFromUtf8(file);
  for (int attempt = 1; Present(path); ++attempt) {
    RemoveEntry(file);
    if (!Present(path)) return true;
    if (attempt >= tries) return false;
    if (between) between();
  }
  return true;
}

bool DeleteTemporaryFiles(const TemporaryFiles& files, int tries, const std::function<void()>& between) {
  const std::function<void()> pause = between ? between : std::function<void()>(Pause);
  const bool dataGone = RemoveWithRetries(files.data, tries, pause);
  const bool videoGone = RemoveWithRetries(files.video, tries, pause);
  return dataGone && videoGone;
}

}  // namespace vintrel
