#include "base/utf8_path.h"

#ifdef _WIN32
#include "base/wide_text_win32.h"
#endif

namespace vintrel {

std::filesystem::path PathFromUtf8(std::string_view text) {
#ifdef _WIN32
  return std::filesystem::path(WideFromUtf8(text).value_or(std::wstring()));
#else
  return std::filesystem::path(std::string(text));
#endif
}

std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return Utf8FromWide(path.native()).value_or(std::string());
#else
  return path.native();
#endif
}

}  // namespace vintrel
