// Runs a batch the way the window does and leaves in the middle of a file the way the window's
// unload does: the process ends at once and neither waits for the encoder nor stops it.
// Usage: abandoned_batch exit|kill APP_FOLDER OUTPUT_FOLDER SOURCE...
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/batch_controller.h"
#include "intake/file_queue.h"
#include "process/dos_outputs.h"

namespace {

class QuietSink : public vintrel::MessageSink {
 public:
  void Critical(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

class LeavingView : public vintrel::BatchDisplay,
                    public vintrel::BatchDesktop,
                    public vintrel::BatchInputs,
                    public vintrel::BatchReports {
 public:
  explicit LeavingView(std::string outputFolder) : outputFolder_(std::move(outputFolder)) {}

  void SetProgressLabel(const std::string&) override {}
  vintrel::ConversionSettings ReadSettings() override {
    vintrel::StoredSettings defaults;
    defaults.outputFolder = outputFolder_;
    return vintrel::ConversionSettingsFor(defaults);
  }
  void SetActionsEnabled(bool) override {}
  void SetProgress(double) override {}
  void SetDropHintVisible(bool) override {}
  void ShowMessage(const std::string&, const std::string& text, vintrel::MessageIcon) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  void OpenFolder(const std::string&) override {}
  void PlaySoundToEnd(const std::string&) override {}

 private:
  std::string outputFolder_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || (std::strcmp(argv[1], "exit") != 0 && std::strcmp(argv[1], "kill") != 0)) {
    std::fprintf(stderr, "usage: abandoned_batch exit|kill APP_FOLDER OUTPUT_FOLDER SOURCE...\n");
    return 2;
  }
  vintrel::FileQueue queue;
  for (int i = 4; i < argc; ++i) queue.AddToQueue(argv[i]);
  vintrel::SleepingEventPump pump;
  QuietSink sink;
  LeavingView view(argv[3]);
  vintrel::DOSOutputs runner(pump, sink);
  vintrel::BatchController controller(queue, runner, pump, {view, view, view, view},
                                      vintrel::ResolveAppPaths(argv[2]));
  // The encoder names its output streams once its output file is open: mid-file from here on.
  const bool kill = std::strcmp(argv[1], "kill") == 0;
  runner.ReceiveOutputs = [kill, forward = runner.ReceiveOutputs](const std::string& piece) {
    forward(piece);
    if (piece.find("Output #0") == std::string::npos) return;
    std::printf("left while the encoder wrote its output\n");
    std::fflush(stdout);
    if (kill) raise(SIGKILL);
    _exit(0);
  };
  controller.Start();
  // The batch ended without the view leaving: the clips were too short to leave mid-file.
  return 3;
}
