#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// What a second launch of the window hands to the first: the files it was given (already made
// absolute), possibly none, which only asks the window to come to the front, and the moment after
// which the launch no longer waits for an answer. The bytes travel over any transport (a local
// socket, WM_COPYDATA) and carry every byte a file name may hold:
//   "VLM2", u32 length of what follows, u64 deadline, u32 count, then per file u32 length + its
// bytes (little-endian). A file is never empty and never holds a NUL.
inline constexpr std::string_view kLaunchMessageMagic = "VLM2";
inline constexpr std::size_t kLaunchHeaderSize = 8;
// Far beyond what a file manager hands over at once; it bounds what a reader ever holds.
inline constexpr std::size_t kLaunchMessageMaxBytes = 16u << 20;

struct LaunchMessage {
  std::vector<std::string> files;
  // On LaunchClockMs. A window that reads the message later must not take the files: the
  // launch has told its user they were not taken.
  std::int64_t deadlineMs = 0;
  bool LateAt(std::int64_t nowMs) const { return nowMs > deadlineMs; }
};

// Milliseconds on the machine's monotonic clock, which every process of the machine shares, so a
// clock set back cannot make a late message timely again.
std::int64_t LaunchClockMs();

// The message for `files`; none when a file cannot travel (empty, holds a NUL) or the whole
// would pass kLaunchMessageMaxBytes.
std::optional<std::string> EncodeLaunchMessage(const std::vector<std::string>& files,
                                               std::int64_t deadlineMs);

// A complete message; none when `bytes` is not exactly one well-formed message.
std::optional<LaunchMessage> DecodeLaunchMessage(std::string_view bytes);

// For a reader of a stream: from the first kLaunchHeaderSize bytes, how long the whole message
// is; none when they cannot begin a message (wrong magic, too long).
std::optional<std::size_t> LaunchMessageLength(std::string_view header);

}  // namespace vintrel
