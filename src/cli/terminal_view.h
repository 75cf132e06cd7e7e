#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/batch_seams.h"

namespace vintrel::cli {

// The text with C0 and C1 control characters and DEL written as escapes ("\x1b", "\u009b"), so a
// file name or an encoder's words cannot move the cursor or retitle the terminal.
std::string TerminalSafe(std::string_view text);

// The batch as a terminal shows it: a live line per file (bar, percentage, time left) on a
// terminal, plain lines otherwise. Plays every side of the face; the settings are fixed.
class TerminalView : public BatchDisplay, public BatchDesktop, public BatchInputs, public BatchReports {
 public:
  TerminalView(ConversionSettings settings, std::size_t fileCount, bool live);

  BatchSeams Seams() { return {*this, *this, *this, *this}; }

  void SetActionsEnabled(bool) override {}
  void SetProgressLabel(const std::string& text) override;
  void SetProgress(double fraction) override { fraction_ = fraction; }
  void SetDropHintVisible(bool) override {}
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override;
  void OpenFolder(const std::string&) override {}
  void PlaySoundToEnd(const std::string&) override {}
  ConversionSettings ReadSettings() override { return settings_; }

  void FileStarting(const std::string& source, const std::string& output) override;
  void FileFinished(const FileResult& result) override;

  // A file's name cut to the width of a progress line.
  static std::string ShortName(const std::string& source);
  // "converted -> OUTPUT (LEVEL, SIZE)" or "FAILED: REASON"; `level` names what the output
  // declares (LevelText).
  static std::string Outcome(const FileResult& result, const std::string& level);
  // "1:05", "1:02:03"
  static std::string FormatDuration(double seconds);
  // The live line of one file: "[2/3] clip.avi  [#####-----]  52%  ETA 0:07".
  static std::string ProgressLine(const std::string& prefix, double fraction, const std::string& label,
                                  double elapsedSeconds);

 private:
  void Redraw();
  std::string Prefix() const;

  ConversionSettings settings_;
  std::string level_;
  std::size_t fileCount_;
  bool live_;
  std::size_t fileIndex_ = 0;
  std::string fileName_;
  std::string label_;
  double fraction_ = 0;
  std::chrono::steady_clock::time_point fileStart_;
};

}  // namespace vintrel::cli
