// vintrel-cli: the batch conversion without a window.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define VINTREL_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VINTREL_ISATTY(fd) isatty(fd)
#endif

#include "app/command_box_client.h"
#include "app/platform.h"
#include "app/settings.h"
#include "base/file_system.h"
#include "base/utf8_path.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/interrupt_pump.h"
#include "cli/level_text.h"
#include "cli/parallel_batch.h"
#include "cli/parallel_view.h"
#include "cli/terminal_view.h"
#include "engine/batch_controller.h"
#include "engine/batch_planner.h"
#include "intake/file_queue.h"
#include "process/dos_outputs.h"
#include "vintrel_version.h"

namespace vintrel::cli {
namespace {

class StderrSink : public MessageSink {
 public:
  void Critical(const std::string& text) override {
    std::cerr << "vintrel-cli: " << TerminalSafe(text) << std::endl;
  }
};

// Unset options take what the window would use: its saved settings, else its defaults. Empty
// `problem` when the settings could be resolved.
ConversionSettings ResolveSettings(const CliOptions& options, const AppPaths& paths, std::string& problem) {
  StoredSettings stored;
  LoadSettings(paths.settingsFile, stored);
  ConversionSettings settings = ConversionSettingsFor(stored);
  for (const PickerRow& row : kPickerRows) {
    if (const auto& chosen = options.pickers[row.picker]) settings.pickers[row.picker] = *chosen;
  }
  const std::string folder = options.outputFolder.value_or(
      stored.outputFolder.empty() ? paths.defaultOutputFolder : stored.outputFolder);
  // Absolute, so a folder named like an option ("-x", typed or saved) never reaches the encoder
  // as one.
  settings.OutputFolder = AbsolutePath(folder);
  if (settings.OutputFolder.empty())
    problem = "cannot make the output folder '" + folder + "' a full path (is the current folder gone?)";
  return settings;
}

int DryRun(const std::vector<std::string>& files, const ConversionSettings& settings, const AppPaths& paths) {
  FileQueue queue;
  for (const std::string& file : files) queue.AddToQueue(file);
  BatchPlanner planner(paths.encoderPath, NativePathStyle());
  planner.Begin(queue.Entries());
  int refused = 0;
  for (const QueueEntry& entry : queue.Entries()) {
    const PlannedFile file = planner.Plan(entry.path, settings);
    if (file.Runs()) {
      std::cout << TerminalSafe(file.commandLine) << '\n';
      // A comment to a shell, so the lines still run as they are.
      std::cout << "# " << DryRunLevelLine(settings) << '\n';
      planner.Produced(file.output);  // assume success, as the real run hopes
    } else {
      std::cerr << "vintrel-cli: " << TerminalSafe(file.source) << ": " << TerminalSafe(file.refusal) << '\n';
      ++refused;
    }
  }
  return refused == 0 ? 0 : 1;
}

void PrintSummary(const std::vector<FileResult>& results, const std::vector<std::string>& leftOver,
                  std::size_t total, const std::string& outputFolder) {
  const auto failed =
      std::count_if(results.begin(), results.end(), [](const FileResult& r) { return !r.converted; });
  const std::size_t converted = results.size() - static_cast<std::size_t>(failed);
  std::cout << "\nConverted " << converted << " of " << total << " file" << (total == 1 ? "" : "s")
            << " into " << TerminalSafe(outputFolder) << '\n';
  if (failed > 0) {
    std::cout << "Failed:\n";
    for (const FileResult& r : results) {
      if (!r.converted) std::cout << "  " << TerminalSafe(r.source) << ": " << TerminalSafe(r.reason) << '\n';
    }
  }
  if (!leftOver.empty()) {
    std::cout << "Not converted (the batch stopped before them):\n";
    for (const std::string& path : leftOver) std::cout << "  " << TerminalSafe(path) << '\n';
  }
  std::cout << std::flush;
}

int BatchExitCode(const InterruptPump& pump, const std::vector<FileResult>& results,
                  const std::vector<std::string>& leftOver) {
  if (const int signal = pump.Interrupted(); signal != 0) return 128 + signal;
  const bool allConverted =
      std::all_of(results.begin(), results.end(), [](const FileResult& r) { return r.converted; });
  return allConverted && leftOver.empty() ? 0 : 1;
}

int Convert(const std::vector<std::string>& files, const ConversionSettings& settings, const AppPaths& paths,
            int jobs) {
#ifndef _WIN32
  // A reader that goes away (| head) must not end the batch halfway.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  // The window's start-up makes its default output folder, parents included (a fresh
  // ~/Videos/Vintrel); the batch itself only adds the last level.
  if (settings.OutputFolder == paths.defaultOutputFolder) {
    std::error_code ignored;
    std::filesystem::create_directories(PathFromUtf8(settings.OutputFolder), ignored);
  }
  InterruptPump pump;
  StderrSink sink;
  if (jobs != 1) {
    ParallelView view(files.size(), VINTREL_ISATTY(1) != 0, LevelText(settings));
    const BatchOutcome outcome = ConvertInParallel(files, settings, paths, jobs, view, sink);
    PrintSummary(outcome.results, outcome.notConverted, files.size(), settings.OutputFolder);
    return BatchExitCode(pump, outcome.results, outcome.notConverted);
  }
  TerminalView view(settings, files.size(), VINTREL_ISATTY(1) != 0);
  FileQueue queue;
  for (const std::string& file : files) queue.AddToQueue(file);
  DOSOutputs runner(pump, sink);
  BatchController controller(queue, runner, pump, view.Seams(), paths);
  pump.onInterrupt = [&controller] { controller.Cancel(); };

  controller.Start();
  std::vector<std::string> leftOver;
  for (const QueueEntry& entry : queue.Entries()) leftOver.push_back(entry.path);
  PrintSummary(controller.Results(), leftOver, files.size(), settings.OutputFolder);
  return BatchExitCode(pump, controller.Results(), leftOver);
}

int SendToCommandBox(const std::string& text, const AppPaths& paths) {
  const std::string error = SendCommandBoxText(paths.workingFolder, text);
  if (error.empty()) return 0;
  std::cerr << "vintrel-cli: " << TerminalSafe(error) << '\n';
  return 1;
}

int Main(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed = ParseArguments(arguments);
  if (!parsed.error.empty()) {
    std::cerr << "vintrel-cli: " << TerminalSafe(parsed.error) << "\nTry 'vintrel-cli --help'.\n";
    return 2;
  }
  const CliOptions& options = parsed.options;
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "vintrel-cli " << kVersionText << '\n';
    return 0;
  }
  if (options.files.size() > kQueueLimit) {
    std::cerr << "vintrel-cli: " << QueueFullText() << '\n';
    return 2;
  }
  const AppPaths paths = ResolveAppPaths(ApplicationFolder());
  if (options.commandBoxText) return SendToCommandBox(*options.commandBoxText, paths);
  std::string problem;
  const ConversionSettings settings = ResolveSettings(options, paths, problem);
  if (!problem.empty()) {
    std::cerr << "vintrel-cli: " << TerminalSafe(problem) << '\n';
    return 1;
  }
  return options.dryRun ? DryRun(options.files, settings, paths)
                        : Convert(options.files, settings, paths, options.jobs);
}

}  // namespace
}  // namespace vintrel::cli

int main(int argc, char** argv) {
  vintrel::cli::PrepareConsole();
  return vintrel::cli::Main(vintrel::cli::CommandLineArguments(argc, argv));
}
