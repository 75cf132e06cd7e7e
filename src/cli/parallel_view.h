#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "engine/batch_seams.h"

namespace vintrel::cli {

// The terminal's view of a batch that converts several files at once. Called from the workers'
// threads; every call is one whole update. On a terminal each running file keeps a live line
// under the lines of the files already over; otherwise every start and end is one plain line,
// the same lines a batch of one job prints, marked with the file's place in the queue.
class ParallelView {
 public:
  // `level` names what the outputs declare (LevelText).
  ParallelView(std::size_t fileCount, bool live, std::string level)
      : fileCount_(fileCount), live_(live), level_(std::move(level)) {}

  // `index` is the file's place in the queue, from 0.
  void FileStarting(std::size_t index, const std::string& source, const std::string& output);
  void Progress(std::size_t index, double fraction, const std::string& label);
  void FileFinished(std::size_t index, const FileResult& result);

 private:
  struct Running {
    std::string name;
    double fraction = 0;
    std::string label = "0%";
    std::chrono::steady_clock::time_point start;
  };
  std::string Prefix(std::size_t index) const;
  // Rewrites the live lines, after `finishedLine` when there is one.
  void Redraw(const std::string& finishedLine);

  std::mutex mutex_;
  std::size_t fileCount_;
  bool live_;
  std::string level_;
  std::map<std::size_t, Running> running_;
  std::size_t drawnLines_ = 0;
};

}  // namespace vintrel::cli
