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

// What a face shows of a batch: the window's controls, the terminal's progress line.
class BatchDisplay {
 public:
  virtual ~BatchDisplay() = default;
  // The three action buttons, the list and the browse button, in that order.
  virtual void SetActionsEnabled(bool enabled) = 0;
  // The Start button loses its hover/pressed look when a batch starts.
  virtual void ClearStartButtonLook() {}
  virtual void SetProgressLabel(const std::string& text) = 0;
  // 0 (nothing done) to 1 (finished); each face turns it into its own units.
  virtual void SetProgress(double fraction) = 0;
  virtual void SetDropHintVisible(bool visible) = 0;
};

// What a batch asks of the person and the desktop: message boxes, the file dialog, the file
// browser, the chime. Each returns when the person or the system is done with it.
class BatchDesktop {
 public:
  virtual ~BatchDesktop() = default;
  virtual void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) = 0;
  // A message with a longer text the person can open (a box's details). A face with no such
  // place shows the short text.
  virtual void ShowDetailedMessage(const std::string& title, const std::string& text,
                                   const std::string& /*details*/, MessageIcon icon) {
    ShowMessage(title, text, icon);
  }
  // Add action: the chosen file, or empty when cancelled.
  virtual std::string AskForSourceFile() { return {}; }
  virtual void OpenFolder(const std::string& folder) = 0;
  virtual void PlaySoundToEnd(const std::string& wavFile) = 0;
};

// What a batch reads off the face when it needs it.
class BatchInputs {
 public:
  virtual ~BatchInputs() = default;
  // A fresh snapshot of the settings, taken before every file.
  virtual ConversionSettings ReadSettings() = 0;
  // Remove action: the selected row (0-based), or -1 when none is selected.
  virtual int SelectedRow() { return -1; }
};

// Reports for faces that keep a record per file (the CLI); the window has no use for them.
class BatchReports {
 public:
  virtual ~BatchReports() = default;
  virtual void FileStarting(const std::string& /*source*/, const std::string& /*output*/) {}
  virtual void FileFinished(const FileResult& /*result*/) {}
  virtual void BatchFinished() {}
};

// The four sides of a front end (window or terminal) the batch controller talks to; one object
// may play several.
struct BatchSeams {
  BatchDisplay& display;
  BatchDesktop& desktop;
  BatchInputs& inputs;
  BatchReports& reports;
};

}  // namespace vintrel
