#include "engine/batch_step.h"

#include <string_view>

#include "base/file_system.h"

namespace vintrel {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The encoder's last words: on failure its last line says why.
std::string LastNonEmptyLine(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t start = text.find_last_of("\r\n", end - 1);
    const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
    std::string_view line = text.substr(from, end - from);
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first != std::string_view::npos) {
      line.remove_prefix(first);
      line = line.substr(0, line.find_last_not_of(kBlanks) + 1);
      return std::string(line);
    }
    if (start == std::string_view::npos) break;
    end = start;
  }
  return {};
}

std::string FailureReason(const ExitStatus& status, const std::string& outputs) {
  if (status.kind == ExitStatus::Kind::Exited && status.code == 0) {
    return "The encoder reported success but wrote no output file";
  }
  if (status.kind == ExitStatus::Kind::Exited) {
    if (std::string line = LastNonEmptyLine(outputs); !line.empty()) return BoundedReason(line);
  }
  return "Encoder failed: " + status.Describe();
}

}  // namespace

// Counts characters by their first bytes, so a cut never splits one; a stray continuation byte
// at the front (the kept tail of a long output may begin inside a character) is skipped.
std::string BoundedReason(std::string_view line) {
  std::size_t characters = 0;
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (IsContinuationByte(line[at]) && at > 0) continue;
    if (characters == kReasonMaxCharacters) {
      std::size_t from = 0;
      while (from < at && IsContinuationByte(line[from])) ++from;
      return std::string(line.substr(from, at - from)) + std::string(kReasonCutMark);
    }
    ++characters;
  }
  return std::string(line);
}

PlannedFile BatchStep::Plan(const std::string& source, const ConversionSettings& settings) {
  const std::string folderProblem = CreateFolder(settings.OutputFolder);
  PlannedFile file = planner_.Plan(source, settings);
  if (file.Runs() && !folderProblem.empty()) {
    file.refusal = "The output folder cannot be created: " + folderProblem;
  }
  return file;
}

FileResult BatchStep::Refused(const PlannedFile& file) {
  return {file.source, file.output, false, file.refusal};
}

std::optional<FileResult> BatchStep::Judge(const PlannedFile& file, const CommandRunner& runner,
                                           bool cancelled) {
  const ExitStatus status = runner.LastExitStatus();
  if (status.kind == ExitStatus::Kind::NotStarted) return std::nullopt;
  FileResult result{file.source, file.output, false, {}};
  if (status.Succeeded() && IsNonEmptyFile(file.output)) {
    result.converted = true;
    planner_.Produced(file.output);
  } else if (cancelled) {
    result.reason = "Cancelled";
  } else {
    result.reason = FailureReason(status, runner.Outputs());
  }
  return result;
}

}  // namespace vintrel
