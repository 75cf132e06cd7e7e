#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"
#include "engine/batch_planner.h"
#include "engine/batch_seams.h"
#include "process/command_runner.h"

namespace vintrel {

// A failure's reason holds at most this many characters of the encoder's last line; a longer
// line is cut there and ends in the mark, so a flood without line feeds stays a short text.
inline constexpr std::size_t kReasonMaxCharacters = 300;
inline constexpr std::string_view kReasonCutMark = "\u2026";
std::string BoundedReason(std::string_view line);

// The rules for one file of a batch, the same whether the files run one after another (the
// window, the CLI) or several at once (the CLI's --jobs): what the file will run or why it will
// not, and how its run ended. Not thread-safe: a parallel batch calls it under its lock.
class BatchStep {
 public:
  BatchStep(std::string encoderPath, PathStyle style) : planner_(std::move(encoderPath), style) {}

  // A new batch over these queued files: forgets earlier outputs, protects every source.
  void Begin(const std::vector<QueueEntry>& queued) { planner_.Begin(queued); }
  // Makes the output folder (one level) and plans the file with this snapshot of the settings.
  // Quietly: a folder that cannot be made concerns only the file that would go there, which it
  // refuses with the reason.
  PlannedFile Plan(const std::string& source, const ConversionSettings& settings);
  // The record of a file that does not run.
  static FileResult Refused(const PlannedFile& file);
  // How the runner's last run of `file` ended, or nothing when it could not start (the runner
  // has said why). Converted only when the encoder succeeded and its output is there; otherwise
  // the first real cause ("Cancelled" when the batch was stopped, else the encoder's last words
  // or its exit status). A converted output is kept from the batch's later files.
  std::optional<FileResult> Judge(const PlannedFile& file, const CommandRunner& runner, bool cancelled);
  bool SameOutput(const std::string& a, const std::string& b) const { return planner_.SameOutput(a, b); }

 private:
  BatchPlanner planner_;
};

}  // namespace vintrel
