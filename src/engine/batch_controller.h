#pragma once

#include <string>
#include <vector>

#include "app/command_box.h"
#include "app/platform.h"
#include "base/path_style.h"
#include "engine/batch_seams.h"
#include "engine/batch_step.h"
#include "engine/progress_parser.h"
#include "intake/file_queue.h"
#include "process/command_runner.h"
#include "process/event_pump.h"

namespace vintrel {

// How the last batch ended.
enum class BatchEnd {
  None,         // no batch yet
  Finished,     // the queue was worked through
  Cancelled,    // Cancel() stopped it; later files stay queued
  StartFailed,  // the runner could not start the encoder; that file and later ones stay queued
};

// Turns the queue into encoder runs, one file at a time, and closes the batch.
class BatchController {
 public:
  // Takes over the runner's events for its life. The encoder and the chime come from `paths`.
  BatchController(FileQueue& queue, CommandRunner& runner, EventPump& pump, const BatchSeams& seams,
                  const AppPaths& paths, PathStyle style = NativePathStyle());
  ~BatchController();
  BatchController(const BatchController&) = delete;
  BatchController& operator=(const BatchController&) = delete;

  // The release action of an action button or the command box (0 Add, 1 Remove, 2 Start;
  // anything else does nothing). Ignored while a batch runs.
  void RunAction(int index);
  // Returns when the batch is over.
  void Start();
  // Stops the running encoder and ends the batch without starting another file. Meant to be
  // called from inside the batch (the event pump, a view callback); does nothing when idle.
  void Cancel();

  bool Running() const { return running_; }
  BatchEnd LastEnd() const { return lastEnd_; }
  // Results of the last (or running) batch, in order.
  const std::vector<FileResult>& Results() const { return results_; }
  int FailedCount() const;
  // The end-of-batch failure list names this many files; the rest are in its details.
  static constexpr int kFailuresShown = 20;

 private:
  void AddFile();
  void RemoveSelected();
  // One iteration per file, so a long queue never deepens the stack.
  void ConvertAll();
  // Runs one planned file; false when the runner could not start it (and has said why).
  bool RunFile(const PlannedFile& file);
  void OnReceiveOutputs(const std::string& piece);
  void OnCommandOver();
  void FileOver();
  void Record(FileResult result);
  void Finish(const std::string& outputFolder);
  void EndAfterStartFailure();
  void End(BatchEnd end);
  void ShowFailures();

  FileQueue& queue_;
  CommandRunner& runner_;
  EventPump& pump_;
  BatchSeams seams_;
  std::string soundFile_;
  ProgressParser parser_;
  BatchStep step_;
  // Guards, see the re-entry rules in docs/STYLE.md.
  bool running_ = false;  // a batch is on: every action is refused
  bool inRun_ = false;    // the runner's events belong to this batch's current file
  bool cancelRequested_ = false;
  BatchEnd lastEnd_ = BatchEnd::None;
  std::vector<FileResult> results_;
};

}  // namespace vintrel
