#include "engine/output_names.h"

#include <filesystem>
#include <system_error>

#include "base/file_system.h"
#include "base/name_fold.h"
#include "base/utf8_path.h"

namespace vintrel {

namespace {

constexpr std::string_view kOutputEnding = ".3gp";

// Where a chain of links ends, even when nothing is there yet (an output still being written).
std::string ThroughLinks(std::string_view path) {
  std::error_code ec;
  std::filesystem::path place = PathFromUtf8(path);
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(place, ec); ++hops) {
    const std::filesystem::path target = std::filesystem::read_symlink(place, ec);
    if (ec) break;
    place = target.is_absolute() ? target : place.parent_path() / target;
  }
  return Utf8FromPath(place);
}

}  // namespace

std::string QuotingProblem(std::string_view path) {
  if (path.find('"') != std::string_view::npos) return "contains a double quote";
  if (!path.empty() && path.back() == '\\') return "ends with a backslash";
  return {};
}

void OutputNames::Clear() {
  taken_.clear();
  nextNumber_.clear();
}

void OutputNames::ReserveSource(std::string_view path) {
  taken_.insert(Key(path));
}

void OutputNames::Claim(std::string_view outputPath) {
  taken_.insert(Key(outputPath));
}

std::string OutputNames::Key(std::string_view path) const {
  // Different spellings of one place ("out/./a.3gp", a symlinked folder) must meet.
  std::error_code ec;
  auto normal = std::filesystem::weakly_canonical(PathFromUtf8(path), ec);
  if (ec) normal = PathFromUtf8(path).lexically_normal();
  // Folded on every platform and folder: a 3GP is made to be copied to a FAT card, where names
  // that differ only by case are one file, or onto a folder that also folds normal forms.
  return FoldName(Utf8FromPath(normal));
}

bool OutputNames::Same(std::string_view a, std::string_view b) const {
  return Key(ThroughLinks(a)) == Key(ThroughLinks(b));
}

bool OutputNames::Taken(const std::string& path) const {
  return taken_.count(Key(path)) > 0;
}

std::string OutputNames::Choose(const std::string& plainOutputPath) {
  if (!Taken(plainOutputPath)) return plainOutputPath;
  std::string stem = plainOutputPath;
  std::string ending;
  if (stem.size() >= kOutputEnding.size() &&
      stem.compare(stem.size() - kOutputEnding.size(), kOutputEnding.size(), kOutputEnding) == 0) {
    ending = kOutputEnding;
    stem.resize(stem.size() - kOutputEnding.size());
  }
  int& number = nextNumber_.try_emplace(Key(plainOutputPath), 2).first->second;
  for (;; ++number) {
    std::string candidate = stem + " (" + std::to_string(number) + ")" + ending;
    if (!Taken(candidate)) return candidate;
  }
}

}  // namespace vintrel
