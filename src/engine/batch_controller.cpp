#include "engine/batch_controller.h"

#include <algorithm>

#include "base/file_system.h"

namespace vintrel {

BatchController::BatchController(FileQueue& queue, CommandRunner& runner, EventPump& pump,
                                 const BatchSeams& seams, const AppPaths& paths, PathStyle style)
    : queue_(queue),
      runner_(runner),
      pump_(pump),
      seams_(seams),
      soundFile_(paths.soundFile),
      step_(paths.encoderPath, style) {
  runner_.ReceiveOutputs = [this](const std::string& piece) { OnReceiveOutputs(piece); };
  runner_.CommandOver = [this] { OnCommandOver(); };
}

BatchController::~BatchController() {
  runner_.ReceiveOutputs = nullptr;
  runner_.CommandOver = nullptr;
}

void BatchController::RunAction(int index) {
  // The command box reaches here past the disabled buttons: a running batch refuses every action.
  if (running_) return;
  switch (index) {
    case kActionAdd:
      AddFile();
      break;
    case kActionRemove:
      RemoveSelected();
      break;
    case kActionStart:
      Start();
      break;
    default:
      break;
  }
}

void BatchController::AddFile() {
  if (queue_.Room() == 0) {
    seams_.desktop.ShowMessage("Add", QueueFullText(), MessageIcon::Exclamation);
    return;
  }
  std::string path = seams_.desktop.AskForSourceFile();
  if (!path.empty()) queue_.AddToQueue(std::move(path));
  if (!queue_.Empty()) seams_.display.SetDropHintVisible(false);
}

void BatchController::RemoveSelected() {
  if (!queue_.Empty()) {
    const int row = seams_.inputs.SelectedRow();
    if (row >= 0) queue_.RemoveAt(static_cast<std::size_t>(row));
  }
  if (queue_.Empty()) seams_.display.SetDropHintVisible(true);
}

void BatchController::Start() {
  if (running_) return;
  if (queue_.Empty()) {
    seams_.desktop.ShowMessage("Add", "Please Add a file", MessageIcon::Exclamation);
    return;
  }
  seams_.display.ClearStartButtonLook();
  seams_.display.SetActionsEnabled(false);
  running_ = true;
  cancelRequested_ = false;
  results_.clear();
  step_.Begin(queue_.Entries());
  ConvertAll();
}

void BatchController::Cancel() {
  if (!running_) return;
  cancelRequested_ = true;
  if (inRun_) runner_.Stop();
}

int BatchController::FailedCount() const {
  return static_cast<int>(
      std::count_if(results_.begin(), results_.end(), [](const FileResult& r) { return !r.converted; }));
}

void BatchController::ConvertAll() {
  for (;;) {
    const ConversionSettings settings = seams_.inputs.ReadSettings();
    if (queue_.Empty() || cancelRequested_) {
      // Made once more for the finish, which opens it; quietly, as before every file.
      (void)CreateFolder(settings.OutputFolder);
      Finish(settings.OutputFolder);
      return;
    }
    const PlannedFile file = step_.Plan(queue_.Head(), settings);
    seams_.reports.FileStarting(file.source, file.output);
    if (!file.Runs()) {
      // Kept for compatibility: a refused file shows "100%" like any other that leaves the queue.
      FileOver();
      Record(BatchStep::Refused(file));
      continue;
    }
    if (!RunFile(file)) {
      EndAfterStartFailure();
      return;
    }
  }
}

bool BatchController::RunFile(const PlannedFile& file) {
  runner_.SetCommandLine(file.commandLine);
  inRun_ = true;
  runner_.ExecuteCommand();
  inRun_ = false;
  std::optional<FileResult> result = step_.Judge(file, runner_, cancelRequested_);
  if (!result) return false;
  Record(std::move(*result));
  return true;
}

void BatchController::OnReceiveOutputs(const std::string& piece) {
  if (!inRun_) return;
  if (const auto progress = parser_.Feed(piece)) {
    seams_.display.SetProgress(progress->fraction);
    seams_.display.SetProgressLabel(progress->label);
  }
}

void BatchController::OnCommandOver() {
  if (inRun_) FileOver();
}

void BatchController::FileOver() {
  if (!queue_.Empty()) queue_.RemoveHead();
  seams_.display.SetProgress(1.0);
  seams_.display.SetProgressLabel("100%");
  pump_.DispatchPending();
  parser_.ResetDuration();
}

void BatchController::Record(FileResult result) {
  results_.push_back(std::move(result));
  seams_.reports.FileFinished(results_.back());
}

void BatchController::Finish(const std::string& outputFolder) {
  const bool cancelled = cancelRequested_;
  if (!cancelled) {
    // Only a folder, and in full: a relative text means nothing to the file browser, and a text
    // naming a file would open (on Windows: run) that file.
    if (const std::string folder = AbsoluteExistingFolder(outputFolder); !folder.empty())
      seams_.desktop.OpenFolder(folder);
    seams_.desktop.PlaySoundToEnd(soundFile_);
  }
  const int failed = FailedCount();
  if (cancelled) {
    seams_.display.SetProgressLabel("Cancelled.");
  } else if (failed == 0) {
    seams_.display.SetProgressLabel("Done.");
  } else {
    seams_.display.SetProgressLabel("Done, " + std::to_string(failed) + " failed.");
  }
  End(cancelled ? BatchEnd::Cancelled : BatchEnd::Finished);
}

// A file that cannot start ends the batch; the files that failed before it are still shown.
void BatchController::EndAfterStartFailure() {
  const int failed = FailedCount();
  seams_.display.SetProgressLabel(failed == 0 ? "Stopped."
                                              : "Stopped, " + std::to_string(failed) + " failed.");
  End(BatchEnd::StartFailed);
}

void BatchController::End(BatchEnd end) {
  if (FailedCount() > 0) ShowFailures();
  running_ = false;
  cancelRequested_ = false;
  lastEnd_ = end;
  seams_.display.SetActionsEnabled(true);
  if (queue_.Empty()) seams_.display.SetDropHintVisible(true);
  seams_.reports.BatchFinished();
}

// A long batch into a folder that cannot be written fails every file: the box shows the first
// few, the details hold them all.
void BatchController::ShowFailures() {
  std::string shown = "These files were not converted:\n";
  std::string all = shown;
  int count = 0;
  for (const FileResult& r : results_) {
    if (r.converted) continue;
    const std::string entry = "\n" + r.source + "\n    " + r.reason + "\n";
    all += entry;
    if (++count <= kFailuresShown) shown += entry;
  }
  if (count <= kFailuresShown) {
    seams_.desktop.ShowMessage("Convert", shown, MessageIcon::Exclamation);
    return;
  }
  shown += "\n\xE2\x80\xA6 and " + std::to_string(count - kFailuresShown) +
           " more (all of them in the details).\n";
  seams_.desktop.ShowDetailedMessage("Convert", shown, all, MessageIcon::Exclamation);
}

}  // namespace vintrel
