#include "engine/batch_planner.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "settings_choices.h"

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
