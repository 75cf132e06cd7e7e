#include "cli/parallel_view.h"

#include <iostream>

#include "cli/terminal_view.h"

namespace vintrel::cli {

std::string ParallelView::Prefix(std::size_t index) const {
  return "[" + std::to_string(index + 1) + "/" + std::to_string(fileCount_) + "] ";
}

void ParallelView::FileStarting(std::size_t index, const std::string& source, const std::string& output) {
  const std::lock_guard lock(mutex_);
  if (!live_) {
    std::cout << Prefix(index) << TerminalSafe(source) << " -> " << TerminalSafe(output) << std::endl;
    return;
  }
  running_[index] = {TerminalView::ShortName(source), 0, "0%", std::chrono::steady_clock::now()};
  Redraw({});
}

void ParallelView::Progress(std::size_t index, double fraction, const std::string& label) {
  const std::lock_guard lock(mutex_);
  const auto file = running_.find(index);
  if (!live_ || file == running_.end()) return;
  file->second.fraction = fraction;
  file->second.label = label;
  Redraw({});
}

void ParallelView::FileFinished(std::size_t index, const FileResult& result) {
  const std::lock_guard lock(mutex_);
  if (!live_) {
    std::cout << Prefix(index) << TerminalView::Outcome(result, level_) << std::endl;
    return;
  }
  const auto file = running_.find(index);
  const std::string name =
      file != running_.end() ? file->second.name : TerminalView::ShortName(result.source);
  if (file != running_.end()) running_.erase(file);
  Redraw(Prefix(index) + name + "  " + TerminalView::Outcome(result, level_));
}

void ParallelView::Redraw(const std::string& finishedLine) {
  std::string text;
  if (drawnLines_ > 0) text += "\033[" + std::to_string(drawnLines_) + "A";
  if (!finishedLine.empty()) text += "\r" + finishedLine + "\033[K\n";
  const auto now = std::chrono::steady_clock::now();
  for (const auto& [index, file] : running_) {
    const double elapsed = std::chrono::duration<double>(now - file.start).count();
    text += "\r" +
            TerminalView::ProgressLine(Prefix(index) + file.name + "  ", file.fraction, file.label, elapsed) +
            "\033[K\n";
  }
  // The block may have shrunk: clear what is left below it.
  text += "\033[J";
  drawnLines_ = running_.size();
  std::cout << text << std::flush;
}

}  // namespace vintrel::cli
