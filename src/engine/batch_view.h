#pragma once

#include <string>

#include "engine/command_line.h"

namespace vintrel {

enum class MessageIcon { Information, Exclamation, Critical };

// One file of a batch and how it ended.
struct FileResult {
  std::string source;
  std::string output;
  bool converted = false;
  std::string reason;  // why it failed; empty when converted
};

// What a face shows of a batch. The window and the CLI each implement it.
class BatchView {
 public:
  virtual ~BatchView() = default;

  // The three action buttons, the list and the browse button, in that order.
  virtual void SetActionsEnabled(bool enabled) = 0;
  // The Start button loses its hover/pressed look when a batch starts.
  virtual void ClearStartButtonLook() {}
  virtual void SetProgressLabel(const std::string& text) = 0;
  virtual void SetProgressBar(double twips) = 0;
  virtual void SetDropHintVisible(bool visible) = 0;
  virtual void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) = 0;
  virtual void OpenFolder(const std::string& folder) = 0;
  // Plays the end-of-batch sound and returns when it has finished (or at once without one).
  virtual void PlaySoundToEnd(const std::string& wavFile) = 0;
  // A fresh snapshot of the settings, taken before every file.
  virtual ConversionSettings ReadSettings() = 0;
  virtual void DispatchPending() = 0;

  // Add action: the chosen file, or empty when cancelled.
  virtual std::string AskForSourceFile() { return {}; }
  // Remove action: the selected row (0-based), or -1 when none is selected.
  virtual int SelectedRow() { return -1; }

  // Notifications for faces that report per file (the CLI); the window ignores them.
  virtual void FileStarting(const std::string& /*source*/, const std::string& /*output*/) {}
  virtual void FileFinished(const FileResult& /*result*/) {}
  virtual void BatchFinished() {}
};

}  // namespace vintrel
