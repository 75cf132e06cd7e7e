#include "app/wave_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/utf8_path.h"

namespace vintrel {
namespace {

// The chunks that matter sit near the start; a header bigger than this is not a sound we ship.
constexpr std::size_t kHeaderLimit = 64 * 1024;
// Longer than any chime: a huge file must not keep the caller waiting for hours.
constexpr std::uint64_t kLongestMs = 60 * 1000;

std::uint32_t Little32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

std::optional<int> WaveDurationFromHeader(std::string_view header, std::uint64_t fileSize) {
  if (header.size() < 12 || header.substr(0, 4) != "RIFF" || header.substr(8, 4) != "WAVE")
    return std::nullopt;
  std::uint32_t byteRate = 0;
  std::size_t at = 12;
  while (at + 8 <= header.size()) {
    const std::string_view id = header.substr(at, 4);
    const std::uint32_t size = Little32(header, at + 4);
    if (id == "fmt ") {
      if (size < 16 || at + 8 + 12 > header.size()) return std::nullopt;
      byteRate = Little32(header, at + 8 + 8);
    } else if (id == "data") {
      if (byteRate == 0 || fileSize < at + 8) return std::nullopt;
      const std::uint64_t bytes = std::min<std::uint64_t>(size, fileSize - (at + 8));
      const std::uint64_t ms = (bytes * 1000 + byteRate - 1) / byteRate;
      return static_cast<int>(std::min(ms, kLongestMs));
    }
    // Chunks are padded to an even size.
    at += 8 + static_cast<std::size_t>(size) + (size & 1u);
  }
  return std::nullopt;
}

std::optional<int> WaveDurationMs(const std::string& file) {
  const std::filesystem::path path = PathFromUtf8(file);
  std::error_code error;
  const std::uintmax_t fileSize = std::filesystem::file_size(path, error);
  if (error) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string header(kHeaderLimit, '\0');
  in.read(header.data(), static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<std::size_t>(in.gcount()));
  return WaveDurationFromHeader(header, fileSize);
}

}  // namespace vintrel
