#pragma once

#include <cstddef>
#include <string>

// The bytes the test child writes for "burst" and "flood", so the tests can check order and
// completeness, not only the length.
inline char TestPatternByte(std::size_t index) {
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz\n";
  return kAlphabet[index % (sizeof kAlphabet - 1)];
}

inline std::string TestPattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = TestPatternByte(i);
  return text;
}
