#include "engine/batch_planner.h"

#include <gtest/gtest.h>

namespace vintrel {
namespace {

ConversionSettings Settings(std::string folder) {
  return {"120", "14.985", "176x144", "5.15k", std::move(folder)};
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

}  // namespace
}  // namespace vintrel
