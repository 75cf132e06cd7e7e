#include "base/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace vintrel {
namespace {

struct FoldRun {
  char32_t first;
  char32_t last;
  std::int32_t step;
  std::int32_t offset;
};

constexpr FoldRun kRuns[] = {
#include "base/case_fold_table.inc"
};

char32_t Fold(char32_t c) {
  auto run = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                              [](char32_t value, const FoldRun& r) { return value < r.first; });
  if (run == std::begin(kRuns)) return c;
  --run;
  if (c > run->last || (c - run->first) % static_cast<char32_t>(run->step) != 0) return c;
  return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->offset);
}

// The code point starting at `at` and its length in bytes; length 0 when the bytes there are
// not a well-formed sequence.
std::size_t Decode(std::string_view text, std::size_t at, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
  if (length == 0 || at + length > text.size()) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

void Encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    const std::size_t length = Decode(text, at, c);
    if (length == 0) {
      folded += text[at++];
      continue;
    }
    Encode(Fold(c), folded);
    at += length;
  }
  return folded;
}

}  // namespace vintrel
