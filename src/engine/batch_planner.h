#pragma once

#include <string>
#include <vector>

#include "base/path_style.h"
#include "engine/command_line.h"
#include "engine/output_names.h"
#include "intake/file_queue.h"

namespace vintrel {

inline constexpr const char* kOverwriteSourceReason = "Output would overwrite the source";
// The longest command line Windows starts a program with; no usable line is longer on POSIX
// either, where a longer path fails anyway and a longer argument cannot be passed at all.
inline constexpr std::size_t kMaxCommandLineLength = 32767;

// What one file of a batch will run, or why it will not run.
struct PlannedFile {
  std::string source;
  std::string output;
  std::string commandLine;  // empty when refused
  std::string refusal;      // empty when it runs

  bool Runs() const { return refusal.empty(); }
};

// Decides the output path and the encoder command line of each file of one batch. Shared by the
// batch controller and the CLI's dry run, so both show the same lines.
class BatchPlanner {
 public:
  BatchPlanner(std::string encoderPath, PathStyle style)
      : encoderPath_(std::move(encoderPath)), style_(style) {}

  // A new batch over these queued files: forgets earlier outputs, protects every source.
  void Begin(const std::vector<QueueEntry>& queued);
  PlannedFile Plan(const std::string& source, const ConversionSettings& settings);
  // The file's output now exists; later files of the batch must not write over it.
  void Produced(const std::string& output) { names_.Claim(output); }
  bool SameOutput(const std::string& a, const std::string& b) const { return names_.Same(a, b); }

 private:
  std::string encoderPath_;
  PathStyle style_;
  OutputNames names_;
};

}  // namespace vintrel
