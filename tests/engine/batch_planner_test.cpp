#include "engine/batch_planner.h"

#include <gtest/gtest.h>

#include "base/utf8_path.h"
#include "engine/batch_step.h"
#include "temp_folder.h"

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

// A runner whose last run is over.
class EndedRun : public CommandRunner {
 public:
  void SetCommandLine(std::string) override {}
  const std::string& CommandLine() const override { return outputs; }
  const std::string& Outputs() const override { return outputs; }
  std::string ExecuteCommand(const std::string& = {}) override { return outputs; }
  ExitStatus LastExitStatus() const override { return status; }
  void Stop() override {}

  ExitStatus status;
  std::string outputs;
};

// What both batches, one file after another and several at once, rely on.
TEST(BatchStep, OnlyAConvertedFileKeepsItsNameFromLaterFiles) {
  const testing_support::TempFolder folder("vintrel-step");
  BatchStep step("/opt/vintrel/conv.exe", NativePathStyle());
  step.Begin({});
  const ConversionSettings settings = Settings(folder.Utf8("out"));
  const PlannedFile file = step.Plan(folder.Utf8("a.avi"), settings);
  ASSERT_TRUE(file.Runs()) << file.refusal;
  EndedRun run;
  EXPECT_FALSE(step.Judge(file, run, false).has_value());
  run.status = {ExitStatus::Kind::Exited, 0, 0};
  EXPECT_EQ(step.Judge(file, run, true)->reason, "Cancelled");
  EXPECT_EQ(step.Plan(folder.Utf8("a.wmv"), settings).output, file.output);

  // Made by the folder step before the plan; ended just as the batch was cancelled, it counts.
  testing_support::WriteFile(PathFromUtf8(file.output), "3gp");
  EXPECT_TRUE(step.Judge(file, run, true)->converted);
  EXPECT_NE(step.Plan(folder.Utf8("a.wmv"), settings).output, file.output);
}

}  // namespace
}  // namespace vintrel
