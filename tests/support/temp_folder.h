// What every test program shares: a fresh folder per test, and whole-file reads and writes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace vintrel::testing_support {

// A fresh folder for one test, removed with everything in it afterwards, also the folders a test
// made read-only or unreadable.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name = "vintrel-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Utf8() const;
  std::string Utf8(const std::string& child) const;
  // The names directly inside, sorted.
  std::vector<std::string> Entries() const;
  std::size_t EntryCount() const { return Entries().size(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& content);

}  // namespace vintrel::testing_support
