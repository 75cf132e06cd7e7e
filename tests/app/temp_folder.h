#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "app/utf8_path.h"

namespace vintrel::testing_support {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name = "vintrel-test") {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() / PathFromUtf8(name + "-" + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
    std::filesystem::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Utf8() const { return Utf8FromPath(path_); }
  std::string Utf8(const std::string& child) const { return Utf8FromPath(path_ / PathFromUtf8(child)); }

  std::size_t EntryCount() const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++count;
    return count;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vintrel::testing_support
