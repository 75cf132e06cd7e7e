// The Unicode Character Database as Debian's package unicode-data installs it, for checking the
// program's own Unicode tables against the source they were made from.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace vintrel::testing_support {

// A file's version as its first line gives it ("15.0.0"), or empty when it cannot be read.
struct UnicodeFileVersion {
  std::string text;
  bool Readable() const { return !text.empty(); }
};

struct CodePointMapping {
  char32_t code = 0;
  std::u32string target;
};
// Every code point DerivedNormalizationProps.txt lists under NFKC_CF, with its mapping.
std::vector<CodePointMapping> NfkcCasefoldMappings(UnicodeFileVersion& version);

struct CaseFoldingRow {
  char32_t code = 0;
  char status = 0;  // C common, F full, S simple, T Turkic
  std::u32string target;
};
// Every row of CaseFolding.txt.
std::vector<CaseFoldingRow> CaseFoldingRows(UnicodeFileVersion& version);

struct CharacterRow {
  char32_t code = 0;
  int combiningClass = 0;
  std::u32string canonical;  // one level of canonical decomposition; empty when there is none
};
// UnicodeData.txt's rows of single code points (the ranges it gives by their ends are left out).
std::vector<CharacterRow> CharacterRows(UnicodeFileVersion& version);

// NormalizationTest.txt's rows: source, NFC, NFD, NFKC, NFKD.
std::vector<std::array<std::u32string, 5>> NormalizationTestRows(UnicodeFileVersion& version);

// The code points assigned by the given version ("15.0.0") as DerivedAge.txt says, as ranges;
// empty when the file cannot be read.
std::vector<std::pair<char32_t, char32_t>> AssignedBy(const std::string& version);
bool Within(const std::vector<std::pair<char32_t, char32_t>>& ranges, const std::u32string& text);

std::string Utf8(const std::u32string& text);

}  // namespace vintrel::testing_support
