#pragma once

#include <string>
#include <vector>

#include "engine/batch_view.h"
#include "engine/path_style.h"
#include "engine/progress_parser.h"
#include "intake/file_queue.h"
#include "process/command_runner.h"

namespace vintrel {

// Action indexes shared by the buttons and the command box.
enum ActionIndex { kActionAdd = 0, kActionRemove = 1, kActionStart = 2 };

// Turns the queue into encoder runs, one file at a time, and closes the batch.
class BatchController {
 public:
  BatchController(FileQueue& queue, CommandRunner& runner, BatchView& view,
                  std::string applicationFolder, PathStyle style = NativePathStyle());

  // The release action of an action button or the command box (0 Add, 1 Remove, 2 Start;
  // anything else does nothing). Ignored while a batch runs.
  void RunAction(int index);
  void Start();

  bool Running() const { return running_; }
  // Results of the last (or running) batch, in order.
  const std::vector<FileResult>& Results() const { return results_; }
  ProgressParser& Parser() { return parser_; }

 private:
  FileQueue& queue_;
  CommandRunner& runner_;
  BatchView& view_;
  std::string applicationFolder_;
  PathStyle style_;
  ProgressParser parser_;
  bool running_ = false;
  std::vector<FileResult> results_;
};

}  // namespace vintrel
