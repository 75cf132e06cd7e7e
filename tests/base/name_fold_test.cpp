#include "base/name_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "unicode_data.h"

namespace vintrel {
namespace {

// Names a folder may take for one: what FoldName must merge, checked against the values of
// Unicode's own tables, and what it must keep apart.
TEST(NameFold, NamesEqualUnderNfkcCasefoldFoldAlike) {
  const std::pair<const char*, const char*> alike[] = {
      {"café", "cafe\u0301"},              // NFC and NFD
      {"straße", "STRASSE"},               // full case folding
      {"ﬁle", "FILE"},                     // a ligature
      {"ｃｌｉｐ１", "clip1"},             // full width
      {"\u212B", "å"},                     // ANGSTROM SIGN
      {"Ǆ", "dž"},                         // one letter, two in the folding
      {"ᾈ", "ἀι"},                         // a Greek capital with its iota below
      {"ΣΟΦΊΑΣ", "σοφίας"},                // final sigma
      {"a\u00ADb\u200B", "ab"},            // default-ignorable characters fall away
      {"각", "\u1100\u1161\u11A8"},        // a Hangul syllable and its letters
      {"가\u11A8", "각"},                  // ... or a syllable and a final letter
      {"a\u0323\u0302", "a\u0302\u0323"},  // marks of different classes in either order
      {"\u1FB3\u0301", "\u1FB4"},          // ... the iota below too, though it folds to a letter
      {"\uF900", "\u8C48"},                // a CJK compatibility ideograph
      {"㌀", "アパート"},                  // a square word
      {"\U0001D400\U0001D41B", "ab"},      // mathematical letters
      {"①⑵", "1(2)"},                      // enclosed numbers
  };
  for (const auto& [a, b] : alike) EXPECT_EQ(FoldName(a), FoldName(b)) << a << " / " << b;
  const std::pair<const char*, const char*> apart[] = {
      {"a", "ä"},
      {"ı", "i"},  // dotless i folds to itself
      {"İ", "i"},  // capital I with dot keeps its dot
      {"o", "ø"},  // no decomposition
      {"ss", "s"},
      {"a\u0301\u0300", "a\u0300\u0301"},  // marks of one class keep their order
      {"e\u0301", "e\u0301\u0301"},
  };
  for (const auto& [a, b] : apart) EXPECT_NE(FoldName(a), FoldName(b)) << a << " / " << b;
  EXPECT_EQ(FoldName("A\xFF\xC3(\u00C9"), "a\xFF\xC3(e\u0301");  // bad bytes kept as they are
  for (const char* name : {"ᾈ ﬁle ŉ ǰ ΐ", "\u0344\u0345x", "㍱ ㋌"}) {
    EXPECT_EQ(FoldName(FoldName(name)), FoldName(name)) << name;
  }
}

// Every mapping of the Unicode data and every canonical or compatibility equivalence of its
// normalization tests, for the characters the table's version knows.
TEST(NameFold, FoldNameAgreesWithTheUnicodeData) {
  testing_support::UnicodeFileVersion mappingsVersion;
  testing_support::UnicodeFileVersion testsVersion;
  const auto mappings = testing_support::NfkcCasefoldMappings(mappingsVersion);
  const auto rows = testing_support::NormalizationTestRows(testsVersion);
  const auto known = testing_support::AssignedBy(std::string(NameFoldUnicodeVersion()));
  if (!mappingsVersion.Readable() || !testsVersion.Readable() || known.empty()) {
    GTEST_SKIP() << "Debian's unicode-data is not installed";
  }
  std::vector<std::string> wrong;
  std::size_t checked = 0;
  for (const auto& [code, target] : mappings) {
    if (!testing_support::Within(known, std::u32string(1, code))) continue;
    ++checked;
    const std::string from = testing_support::Utf8(std::u32string(1, code));
    if (FoldName(from) != FoldName(testing_support::Utf8(target))) wrong.push_back(from);
  }
  EXPECT_GT(checked, 6000u);
  for (const auto& row : rows) {
    if (!testing_support::Within(known, row[0])) continue;
    ++checked;
    const std::string source = FoldName(testing_support::Utf8(row[0]));
    for (const std::u32string& form : row) {
      if (FoldName(testing_support::Utf8(form)) != source) {
        wrong.push_back(testing_support::Utf8(row[0]));
        break;
      }
    }
  }
  EXPECT_GT(checked, 25000u);
  wrong.resize(std::min<std::size_t>(wrong.size(), 10));
  EXPECT_EQ(wrong, std::vector<std::string>{})
      << "Unicode " << mappingsVersion.text << ", table " << NameFoldUnicodeVersion();
}

// Each run of marks between letters (class 0) sorted by class, equal classes kept in order.
template <typename ClassOf>
void PutMarksInOrder(std::u32string& text, const ClassOf& classOf) {
  for (auto run = text.begin(); run != text.end();) {
    if (classOf(*run) == 0) {
      ++run;
      continue;
    }
    auto end = std::find_if(run, text.end(), [&](char32_t c) { return classOf(c) == 0; });
    std::stable_sort(run, end, [&](char32_t a, char32_t b) { return classOf(a) < classOf(b); });
    run = end;
  }
}

// What the fold gives, not only which names it merges: a table that sent two letters to the same
// wrong one would still merge them.
TEST(NameFold, FoldsToTheDecomposedNfkcCasefold) {
  const std::pair<const char*, const char*> folds[] = {
      {"", ""},
      {"Straße.AVI", "strasse.avi"},
      {"I", "i"},
      {"ı", "ı"},        // dotless i has no other case to fold to
      {"İ", "i\u0307"},  // full folding keeps the dot as a mark
      {"É", "e\u0301"},  // decomposed, not composed
      {"ﬁ", "fi"},
      {"Ǆ", "dz\u030C"},
      {"ᾈ", "\u03B1\u0313\u03B9"},
      {"\u0345", "\u03B9"},
      {"각", "\u1100\u1161\u11A8"},
      {"a\u00AD\u200Bb", "ab"},
      {"ｘ１", "x1"},
      {"a\u0302\u0323", "a\u0323\u0302"},
  };
  for (const auto& [from, to] : folds) EXPECT_EQ(FoldName(from), to) << from;
}

// CaseFolding.txt's full foldings are part of NFKC_Casefold; its Turkic ones are not, so a name
// with a dotted capital I is not the same name as one with a plain i, nor I the same as ı.
TEST(NameFold, CaseFoldingMergesAllButTheTurkicPairs) {
  testing_support::UnicodeFileVersion version;
  const auto rows = testing_support::CaseFoldingRows(version);
  const auto known = testing_support::AssignedBy(std::string(NameFoldUnicodeVersion()));
  if (!version.Readable() || known.empty()) GTEST_SKIP() << "Debian's unicode-data is not installed";
  std::vector<std::string> wrong;
  std::size_t merged = 0;
  std::size_t turkic = 0;
  for (const auto& row : rows) {
    if (!testing_support::Within(known, std::u32string(1, row.code) + row.target)) continue;
    const std::string from = FoldName(testing_support::Utf8(std::u32string(1, row.code)));
    const std::string to = FoldName(testing_support::Utf8(row.target));
    if (row.status == 'T') {
      ++turkic;
      if (from == to) wrong.push_back("T " + testing_support::Utf8(std::u32string(1, row.code)));
    } else {
      ++merged;
      if (from != to)
        wrong.push_back(row.status + (" " + testing_support::Utf8(std::u32string(1, row.code))));
    }
  }
  EXPECT_GT(merged, 1400u);
  EXPECT_EQ(turkic, 2u);
  wrong.resize(std::min<std::size_t>(wrong.size(), 10));
  EXPECT_EQ(wrong, std::vector<std::string>{}) << "Unicode " << version.text;
}

// Every code point the table's version knows folds to exactly its NFKC_Casefold mapping (itself
// when it has none), fully decomposed and with its marks in canonical order.
TEST(NameFold, EachCodePointFoldsToItsDecomposedMapping) {
  testing_support::UnicodeFileVersion mappingsVersion;
  testing_support::UnicodeFileVersion charactersVersion;
  const auto mappingRows = testing_support::NfkcCasefoldMappings(mappingsVersion);
  const auto characterRows = testing_support::CharacterRows(charactersVersion);
  const auto known = testing_support::AssignedBy(std::string(NameFoldUnicodeVersion()));
  if (!mappingsVersion.Readable() || !charactersVersion.Readable() || known.empty()) {
    GTEST_SKIP() << "Debian's unicode-data is not installed";
  }
  std::map<char32_t, std::u32string> mappings;
  for (const auto& row : mappingRows) mappings[row.code] = row.target;
  std::map<char32_t, testing_support::CharacterRow> characters;
  for (const auto& row : characterRows) characters[row.code] = row;
  const auto combiningClass = [&](char32_t c) {
    const auto found = characters.find(c);
    return found == characters.end() ? 0 : found->second.combiningClass;
  };
  const auto decompose = [&](const auto& self, char32_t c, std::u32string& out) -> void {
    if (c >= 0xAC00 && c <= 0xD7A3) {
      const char32_t index = c - 0xAC00;
      out += static_cast<char32_t>(0x1100 + index / 588);
      out += static_cast<char32_t>(0x1161 + index % 588 / 28);
      if (index % 28 != 0) out += static_cast<char32_t>(0x11A7 + index % 28);
      return;
    }
    const auto found = characters.find(c);
    if (found == characters.end() || found->second.canonical.empty()) {
      out += c;
      return;
    }
    for (const char32_t part : found->second.canonical) self(self, part, out);
  };
  std::vector<std::string> wrong;
  std::size_t checked = 0;
  for (const auto& [first, last] : known) {
    for (char32_t c = first; c <= last; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const auto mapped = mappings.find(c);
      const std::u32string target = mapped == mappings.end() ? std::u32string(1, c) : mapped->second;
      std::u32string expected;
      for (const char32_t part : target) decompose(decompose, part, expected);
      PutMarksInOrder(expected, combiningClass);
      ++checked;
      const std::string from = testing_support::Utf8(std::u32string(1, c));
      if (FoldName(from) != testing_support::Utf8(expected)) wrong.push_back(from);
    }
  }
  EXPECT_GT(checked, 140000u);
  wrong.resize(std::min<std::size_t>(wrong.size(), 10));
  EXPECT_EQ(wrong, std::vector<std::string>{}) << "Unicode " << mappingsVersion.text;
}

}  // namespace
}  // namespace vintrel
