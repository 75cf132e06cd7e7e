#include "base/name_fold.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vintrel {
namespace {

#include "base/name_fold_table.inc"

// Invalid bytes ride along as values above Unicode, so they come out as they went in.
constexpr char32_t kRawByte = 0x110000;

constexpr char32_t kYpogegrammeni = 0x0345;
constexpr char32_t kIota = 0x03B9;
constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kHangulLast = 0xD7A3;

struct MappingRun {
  char32_t first;
  char32_t last;
  char32_t step;
  std::uint32_t length;  // code points each member maps to
  std::size_t at;        // the first member's mapping in `values`, its growth per member after it
};

struct CombiningRun {
  char32_t first;
  char32_t last;
  std::uint8_t combiningClass;
};

struct Tables {
  std::vector<MappingRun> mappings;
  std::vector<std::int32_t> values;
  std::vector<CombiningRun> combining;
};

// Reads the numbers of tools/unicode/make-name-fold.py's runs.
class RunReader {
 public:
  explicit RunReader(std::string_view text) : text_(text) {}

  bool More() const { return at_ < text_.size(); }
  std::uint32_t Number() {
    std::uint32_t value = 0;
    for (int shift = 0;; shift += 5) {
      const int symbol = Symbol(text_[at_++]);
      value |= static_cast<std::uint32_t>(symbol & 31) << shift;
      if ((symbol & 32) == 0) return value;
    }
  }
  std::int32_t Signed() {
    const std::uint32_t value = Number();
    return (value & 1) ? -static_cast<std::int32_t>(value >> 1) - 1 : static_cast<std::int32_t>(value >> 1);
  }

 private:
  static int Symbol(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '-' ? 62 : 63;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

Tables ReadTables() {
  Tables tables;
  std::int64_t last = -1;
  for (RunReader reader(kMappingRuns); reader.More();) {
    MappingRun run{};
    run.first = static_cast<char32_t>(last + reader.Number());
    const std::uint32_t more = reader.Number();
    run.step = more > 0 ? reader.Number() : 1;
    run.last = run.first + more * run.step;
    run.length = reader.Number();
    run.at = tables.values.size();
    std::int32_t before = static_cast<std::int32_t>(run.first);
    for (std::uint32_t i = 0; i < run.length; ++i) tables.values.push_back(before += reader.Signed());
    for (std::uint32_t i = 0; i < run.length; ++i) tables.values.push_back(more > 0 ? reader.Signed() : 0);
    tables.mappings.push_back(run);
    last = run.last;
  }
  last = -1;
  for (RunReader reader(kCombiningRuns); reader.More();) {
    CombiningRun run{};
    run.first = static_cast<char32_t>(last + reader.Number());
    run.last = run.first + reader.Number();
    run.combiningClass = static_cast<std::uint8_t>(reader.Number());
    tables.combining.push_back(run);
    last = run.last;
  }
  return tables;
}

const Tables& TheTables() {
  static const Tables tables = ReadTables();
  return tables;
}

// The run whose span holds `c`, or null.
template <typename Run>
const Run* Covering(const std::vector<Run>& runs, char32_t c) {
  auto run = std::upper_bound(runs.begin(), runs.end(), c,
                              [](char32_t value, const Run& r) { return value < r.first; });
  if (run == runs.begin()) return nullptr;
  --run;
  return c <= run->last ? &*run : nullptr;
}

void AppendFolded(char32_t c, std::u32string& out) {
  if (c >= kHangulFirst && c <= kHangulLast) {
    const char32_t index = c - kHangulFirst;
    out += static_cast<char32_t>(0x1100 + index / 588);
    out += static_cast<char32_t>(0x1161 + index % 588 / 28);
    if (index % 28 != 0) out += static_cast<char32_t>(0x11A7 + index % 28);
    return;
  }
  const Tables& tables = TheTables();
  const MappingRun* run = Covering(tables.mappings, c);
  if (run == nullptr || (c - run->first) % run->step != 0) {
    out += c;
    return;
  }
  const auto member = static_cast<std::int32_t>((c - run->first) / run->step);
  for (std::uint32_t i = 0; i < run->length; ++i) {
    out +=
        static_cast<char32_t>(tables.values[run->at + i] + member * tables.values[run->at + run->length + i]);
  }
}

int CombiningClass(char32_t c) {
  const CombiningRun* run = Covering(TheTables().combining, c);
  return run != nullptr ? run->combiningClass : 0;
}

// Marks that attach to one letter may come in any order between letters of class 0; their
// canonical order is by class, keeping the order of equal classes.
void PutMarksInCanonicalOrder(std::u32string& text) {
  for (std::size_t at = 0; at < text.size();) {
    if (CombiningClass(text[at]) == 0) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && CombiningClass(text[end]) != 0) ++end;
    std::stable_sort(text.begin() + static_cast<std::ptrdiff_t>(at),
                     text.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char32_t a, char32_t b) { return CombiningClass(a) < CombiningClass(b); });
    at = end;
  }
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
  if (c >= kRawByte) {
    out += static_cast<char>(c - kRawByte);
  } else if (c < 0x80) {
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

std::string FoldName(std::string_view text) {
  std::u32string folded;
  folded.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    const std::size_t length = Decode(text, at, c);
    if (length == 0) {
      folded += kRawByte + static_cast<unsigned char>(text[at++]);
      continue;
    }
    AppendFolded(c, folded);
    at += length;
  }
  // NFKC_Casefold composes after mapping (NFC); comparing the canonical decomposition instead
  // tells the same names apart and needs no composition table. The ypogegrammeni is put in order
  // as the mark it is before it folds to an iota, so canonically equivalent names stay one.
  PutMarksInCanonicalOrder(folded);
  std::replace(folded.begin(), folded.end(), kYpogegrammeni, kIota);
  std::string out;
  out.reserve(folded.size());
  for (const char32_t c : folded) Encode(c, out);
  return out;
}

std::string_view NameFoldUnicodeVersion() {
  return kUnicodeVersion;
}

}  // namespace vintrel
