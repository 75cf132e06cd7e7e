#pragma once

namespace vintrel {

// Which separator a path text uses. The core's path helpers take it explicitly so both
// styles can be exercised on every platform; the program itself uses NativePathStyle().
enum class PathStyle { Windows, Posix };

constexpr PathStyle NativePathStyle() {
#ifdef _WIN32
  return PathStyle::Windows;
#else
  return PathStyle::Posix;
#endif
}

constexpr char Separator(PathStyle style) {
  return style == PathStyle::Windows ? '\\' : '/';
}

}  // namespace vintrel
