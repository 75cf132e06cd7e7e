#include "engine/batch_planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/name_fold.h"
#include "settings_choices.h"
#include "unicode_data.h"

namespace vintrel {
namespace {

ConversionSettings Settings(std::string folder) {
  return testing_support::Choices({}, std::move(folder));
}

// A folder text no system can take (a garbled setup.ini, a pasted novel) must not reach the
// runner: there it fails to start, which reads as a missing encoder and ends the whole batch.
TEST(BatchPlanner, CommandLinesTooLongToStartAreRefusedPerFile) {
  BatchPlanner planner("/opt/vintrel", PathStyle::Posix);
  planner.Begin({});
  const PlannedFile huge = planner.Plan("/clips/a.avi", Settings("/out/" + std::string(40000, 'x')));
  EXPECT_FALSE(huge.Runs());
  EXPECT_TRUE(huge.commandLine.empty());
  EXPECT_NE(huge.refusal.find("too long"), std::string::npos) << huge.refusal;

  // Long but possible: planned as usual, right up to the limit.
  const std::string shortLine = planner.Plan("/clips/b.avi", Settings("/out")).commandLine;
  const std::size_t room = kMaxCommandLineLength - shortLine.size();
  const PlannedFile longest = planner.Plan("/clips/b.avi", Settings("/out" + std::string(room, 'y')));
  EXPECT_TRUE(longest.Runs()) << longest.refusal;
  EXPECT_EQ(longest.commandLine.size(), kMaxCommandLineLength);
  const PlannedFile over = planner.Plan("/clips/c.avi", Settings("/out" + std::string(room + 1, 'y')));
  EXPECT_FALSE(over.Runs());
}

// Names a folder may take for one: what FoldName must merge, checked against the values of
// Unicode's own tables, and what it must keep apart.
TEST(OutputNames, NamesEqualUnderNfkcCasefoldFoldAlike) {
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
TEST(OutputNames, FoldNameAgreesWithTheUnicodeData) {
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

// Outputs and sources that such folders would take for one: numbered apart, numbered names
// checked against the sources as the plain ones are.
TEST(OutputNames, NamesOneUnderNfkcCasefoldAreNumberedApart) {
  BatchPlanner planner("/opt/vintrel", PathStyle::Posix);
  planner.Begin({QueueEntry{"/out/STRASSE (2).3gp", "3GP"}});
  const std::string sources[] = {"/a/café.avi",   "/b/cafe\u0301.avi", "/c/ﬁle.avi",    "/d/FILE.avi",
                                 "/e/straße.avi", "/f/straße.avi",     "/g/STRASSE.avi"};
  std::vector<std::string> outputs;
  for (const std::string& source : sources) {
    const PlannedFile file = planner.Plan(source, Settings("/out"));
    EXPECT_TRUE(file.Runs()) << file.refusal;
    planner.Produced(file.output);
    outputs.push_back(file.output);
  }
  EXPECT_EQ(outputs, (std::vector<std::string>{"/out/café.3gp", "/out/cafe\u0301 (2).3gp", "/out/ﬁle.3gp",
                                               "/out/FILE (2).3gp", "/out/straße.3gp", "/out/straße (3).3gp",
                                               "/out/STRASSE (4).3gp"}));
}

}  // namespace
}  // namespace vintrel
