// Sample media made at test time with Debian's ffmpeg (POSIX only).
#pragma once

#include <string>
#include <vector>

namespace vintrel::testing_support {

// Runs ffmpeg quietly (-nostdin -v error -y) with these arguments; true when it succeeded. What it
// complained about goes to `errors` when one is given.
bool Ffmpeg(const std::vector<std::string>& arguments, std::string* errors = nullptr);

// The usual test picture and tone as ffmpeg inputs.
std::vector<std::string> TestPicture(const std::string& size, double seconds, int rate = 25);
std::vector<std::string> TestTone(double seconds);

// A clip made once by `ffmpeg <args> <file>` and kept in the build tree between runs; its path. The
// name gets a tag of the arguments, so equal names with other arguments stay apart. Throws when
// ffmpeg cannot make it.
std::string Clip(const std::string& fileName, const std::vector<std::string>& ffmpegArgs);

}  // namespace vintrel::testing_support
