#pragma once

#include <string>
#include <vector>

#include "app/platform.h"
#include "engine/batch_seams.h"
#include "engine/command_line.h"
#include "process/event_pump.h"

namespace vintrel::cli {

class ParallelView;

// What a batch did, in queue order.
struct BatchOutcome {
  std::vector<FileResult> results;        // every file that ran or was refused
  std::vector<std::string> notConverted;  // the files the batch stopped before
};

// Converts the files with up to `jobs` encoders at once, each file on a worker thread of its
// own runner. Files start in queue order, and each output name is chosen as a batch of one job
// would choose it: a file whose name depends on a file still running waits for it to end. A
// Ctrl+C (the signal the caller watches) stops every running encoder and starts no other file;
// so does an encoder that cannot be started, after the running files have ended.
BatchOutcome ConvertInParallel(const std::vector<std::string>& files, const ConversionSettings& settings,
                               const AppPaths& paths, int jobs, ParallelView& view, MessageSink& messages);

}  // namespace vintrel::cli
