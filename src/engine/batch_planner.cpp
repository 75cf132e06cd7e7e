#include "engine/batch_planner.h"

#include "base/file_system.h"

namespace vintrel {

namespace {

std::string Unquotable(const char* what, const std::string& problem) {
  return std::string("The ") + what + " " + problem + " and cannot be passed to the encoder";
}

}  // namespace

void BatchPlanner::Begin(const std::vector<QueueEntry>& queued) {
  names_.Clear();
  for (const QueueEntry& entry : queued) names_.ReserveSource(entry.path);
}

PlannedFile BatchPlanner::Plan(const std::string& source, const ConversionSettings& settings) {
  PlannedFile file;
  file.source = source;
  file.output = OutputPathFor(settings, source, style_);

  if (std::string problem = QuotingProblem(source); !problem.empty()) {
    file.refusal = Unquotable("source path", problem);
    return file;
  }
  if (SameFile(file.output, source, style_)) {
    file.refusal = kOverwriteSourceReason;
    return file;
  }
  // Files that joined the queue after Begin are protected from here on.
  names_.ReserveSource(source);
  file.output = names_.Choose(file.output);
  if (std::string problem = QuotingProblem(file.output); !problem.empty()) {
    file.refusal = Unquotable("output path", problem);
    return file;
  }
  if (std::string problem = QuotingProblem(encoderPath_); !problem.empty()) {
    file.refusal = Unquotable("encoder's path", problem);
    return file;
  }
  file.commandLine = BuildCommandLine(settings, source, file.output, encoderPath_);
  // Handed on, such a line fails to start, which reads as a missing encoder and ends the batch.
  if (file.commandLine.size() > kMaxCommandLineLength) {
    file.refusal = "The paths are too long to be passed to the encoder (a command line of " +
                   std::to_string(file.commandLine.size()) + " characters; at most " +
                   std::to_string(kMaxCommandLineLength) + " fit)";
    file.commandLine.clear();
  }
  return file;
}

}  // namespace vintrel
