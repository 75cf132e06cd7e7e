#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vintrel {

// Paths travel as UTF-8 text; on Windows they become wide before they reach a file API. Neither
// conversion throws: text that is not valid in its encoding gives an empty result, which no file
// API accepts, so the caller's own error path reports it.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace vintrel
