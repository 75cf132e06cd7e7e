#include "app/launch_message.h"

#include <chrono>
#include <cstdint>
#include <utility>

namespace vintrel {
namespace {

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Reads a u32 at the front of `bytes` and moves past it; none when too few bytes are left.
std::optional<std::uint32_t> TakeU32(std::string_view& bytes) {
  if (bytes.size() < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  bytes.remove_prefix(4);
  return value;
}

void PutU64(std::string& out, std::uint64_t value) {
  PutU32(out, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
  PutU32(out, static_cast<std::uint32_t>(value >> 32));
}

std::optional<std::uint64_t> TakeU64(std::string_view& bytes) {
  const auto low = TakeU32(bytes);
  const auto high = low ? TakeU32(bytes) : std::nullopt;
  if (!high) return std::nullopt;
  return (std::uint64_t{*high} << 32) | *low;
}

bool CanTravel(std::string_view file) {
  return !file.empty() && file.find('\0') == std::string_view::npos;
}

}  // namespace

std::int64_t LaunchClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::optional<std::string> EncodeLaunchMessage(const std::vector<std::string>& files,
                                               std::int64_t deadlineMs) {
  std::size_t total = kLaunchHeaderSize + 8 + 4;
  for (const std::string& file : files) {
    if (!CanTravel(file)) return std::nullopt;
    total += 4 + file.size();
    if (total > kLaunchMessageMaxBytes) return std::nullopt;
  }
  std::string out(kLaunchMessageMagic);
  out.reserve(total);
  PutU32(out, static_cast<std::uint32_t>(total - kLaunchHeaderSize));
  PutU64(out, static_cast<std::uint64_t>(deadlineMs));
  PutU32(out, static_cast<std::uint32_t>(files.size()));
  for (const std::string& file : files) {
    PutU32(out, static_cast<std::uint32_t>(file.size()));
    out += file;
  }
  return out;
}

std::optional<std::size_t> LaunchMessageLength(std::string_view header) {
  if (header.size() < kLaunchHeaderSize ||
      header.substr(0, kLaunchMessageMagic.size()) != kLaunchMessageMagic)
    return std::nullopt;
  header.remove_prefix(kLaunchMessageMagic.size());
  const auto rest = TakeU32(header);
  if (!rest || *rest > kLaunchMessageMaxBytes - kLaunchHeaderSize) return std::nullopt;
  return kLaunchHeaderSize + *rest;
}

std::optional<LaunchMessage> DecodeLaunchMessage(std::string_view bytes) {
  const auto length = LaunchMessageLength(bytes);
  if (!length || *length != bytes.size()) return std::nullopt;
  bytes.remove_prefix(kLaunchHeaderSize);
  const auto deadline = TakeU64(bytes);
  if (!deadline) return std::nullopt;
  const auto count = TakeU32(bytes);
  // Each file takes at least five bytes, so a count beyond that is a lie to be refused early.
  if (!count || *count > bytes.size() / 5) return std::nullopt;
  std::vector<std::string> files;
  files.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto size = TakeU32(bytes);
    if (!size || *size > bytes.size()) return std::nullopt;
    std::string file(bytes.substr(0, *size));
    if (!CanTravel(file)) return std::nullopt;
    bytes.remove_prefix(*size);
    files.push_back(std::move(file));
  }
  if (!bytes.empty()) return std::nullopt;
  return LaunchMessage{std::move(files), static_cast<std::int64_t>(*deadline)};
}

}  // namespace vintrel
