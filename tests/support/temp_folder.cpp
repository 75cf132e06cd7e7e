#include "temp_folder.h"

#include <algorithm>
#include <fstream>
#include <random>

#include "base/utf8_path.h"

namespace vintrel::testing_support {

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string& name) {
  std::random_device device;
  path_ = fs::temp_directory_path() / PathFromUtf8(name + "-" + std::to_string(device()));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::string TempFolder::Utf8() const {
  return Utf8FromPath(path_);
}

std::string TempFolder::Utf8(const std::string& child) const {
  return Utf8FromPath(path_ / PathFromUtf8(child));
}

std::vector<std::string> TempFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_))
    names.push_back(Utf8FromPath(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const fs::path& file) {
  // A /proc file of a process that has just ended fails mid-read (ESRCH), and libstdc++ throws
  // from the stream buffer then: such a file reads as empty.
  try {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  } catch (const std::exception&) {
    return {};
  }
}

void WriteFile(const fs::path& file, const std::string& content) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace vintrel::testing_support
