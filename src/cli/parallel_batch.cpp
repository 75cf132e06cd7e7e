#include "cli/parallel_batch.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli/interrupt_pump.h"
#include "cli/interrupt_signal.h"
#include "cli/parallel_view.h"
#include "engine/batch_step.h"
#include "engine/progress_parser.h"
#include "intake/file_queue.h"
#include "process/child_groups.h"
#include "process/dos_outputs.h"

namespace vintrel::cli {
namespace {

// The runners' messages, each text once: workers that fail to start the encoder together
// would otherwise say the same thing once each.
class OnceSink : public MessageSink {
 public:
  explicit OnceSink(MessageSink& target) : target_(target) {}
  void Critical(const std::string& text) override {
    const std::lock_guard lock(mutex_);
    if (said_.insert(text).second) target_.Critical(text);
  }

 private:
  MessageSink& target_;
  std::mutex mutex_;
  std::set<std::string> said_;
};

struct Turn {
  std::size_t index;
  PlannedFile file;
};

class ParallelBatch {
 public:
  ParallelBatch(const std::vector<std::string>& files, const ConversionSettings& settings,
                const AppPaths& paths, ParallelView& view, MessageSink& messages)
      : files_(files),
        settings_(settings),
        step_(paths.encoderPath, NativePathStyle()),
        view_(view),
        messages_(messages),
        results_(files.size()) {
    FileQueue queue;
    for (const std::string& file : files) queue.AddToQueue(file);
    step_.Begin(queue.Entries());
  }

  BatchOutcome Run(std::size_t jobs) {
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < jobs; ++i) workers.emplace_back([this] { Work(); });
    for (std::thread& worker : workers) worker.join();
    BatchOutcome outcome;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (results_[i]) {
        outcome.results.push_back(std::move(*results_[i]));
      } else {
        outcome.notConverted.push_back(files_[i]);
      }
    }
    return outcome;
  }

 private:
  void Work() {
    while (std::optional<Turn> turn = Next()) Convert(*turn);
  }

  // The next file to run, planned in queue order; refused files are recorded on the way.
  std::optional<Turn> Next() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (InterruptSignal() != 0) cancelled_ = stopped_ = true;
      if (stopped_ || next_ == files_.size()) return std::nullopt;
      // A source that is a running file's output (through a link, say) exists only once that
      // file has ended, as with one job.
      if (TakenByARunningFile(files_[next_])) {
        changed_.wait(lock);
        continue;
      }
      PlannedFile file = step_.Plan(files_[next_], settings_);
      if (file.Runs() && TakenByARunningFile(file.output)) {
        changed_.wait(lock);
        continue;
      }
      const std::size_t index = next_++;
      view_.FileStarting(index, file.source, file.output);
      if (!file.Runs()) {
        Record(index, BatchStep::Refused(file));
        continue;
      }
      running_.push_back(file.output);
      return Turn{index, std::move(file)};
    }
  }

  // Whether the name depends on how a running file ends: the name is then given once it has.
  bool TakenByARunningFile(const std::string& output) const {
    return std::any_of(running_.begin(), running_.end(),
                       [&](const std::string& other) { return step_.SameOutput(other, output); });
  }

  void Convert(const Turn& turn) {
    InterruptPump pump(false);
    DOSOutputs runner(pump, messages_);
    ProgressParser parser;
    pump.onInterrupt = [&] {
      Cancel();
      runner.Stop();
    };
    runner.ReceiveOutputs = [&](const std::string& piece) {
      if (const auto progress = parser.Feed(piece))
        view_.Progress(turn.index, progress->fraction, progress->label);
    };
    runner.ExecuteCommand(turn.file.commandLine);

    const std::lock_guard lock(mutex_);
    running_.erase(std::find(running_.begin(), running_.end(), turn.file.output));
    if (std::optional<FileResult> result = step_.Judge(turn.file, runner, cancelled_)) {
      Record(turn.index, std::move(*result));
    } else {
      // Like the one-job batch: the file stays unconverted and nothing further starts.
      stopped_ = true;
    }
    changed_.notify_all();
  }

  void Cancel() {
    const std::lock_guard lock(mutex_);
    cancelled_ = stopped_ = true;
    changed_.notify_all();
  }

  // Called with the lock held.
  void Record(std::size_t index, FileResult result) {
    view_.FileFinished(index, result);
    results_[index] = std::move(result);
  }

  const std::vector<std::string>& files_;
  const ConversionSettings& settings_;
  BatchStep step_;
  ParallelView& view_;
  OnceSink messages_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  bool stopped_ = false;  // no further file starts
  bool cancelled_ = false;
  std::vector<std::string> running_;
  std::vector<std::optional<FileResult>> results_;
};

}  // namespace

BatchOutcome ConvertInParallel(const std::vector<std::string>& files, const ConversionSettings& settings,
                               const AppPaths& paths, int jobs, ParallelView& view, MessageSink& messages) {
  std::size_t workers = jobs > 0 ? static_cast<std::size_t>(jobs) : std::thread::hardware_concurrency();
  workers = std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(files.size(), 1));
  if (const auto allowed = static_cast<std::size_t>(RunsTheDescriptorsAllow()); workers > allowed) {
    messages.Critical("--jobs lowered to " + std::to_string(allowed) +
                      ": the limit on open files allows no more encoders at once");
    workers = allowed;
  }
  ParallelBatch batch(files, settings, paths, view, messages);
  return batch.Run(workers);
}

}  // namespace vintrel::cli
