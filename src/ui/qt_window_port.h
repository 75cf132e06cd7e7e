#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "engine/batch_seams.h"
#include "face/window_port.h"
#include "process/event_pump.h"
#include "qt_pump.h"

class frmMain;
class QWidget;

// What the Add button asks the open-files dialog for.
struct OpenFilesRequest {
  QString title;
  QString startFolder;
  QStringList filters;  // Qt's "description (pattern)" form, in order
  QString selectedFilter;
};
OpenFilesRequest AddFilesRequest(const std::string& programFolder);

// Everything the application does to the world outside the window, behind one seam each, so
// tests can answer dialogs, see message boxes and stop short of ending the process.
struct ShellSeams {
  // The chosen file, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const OpenFilesRequest& request)> openFiles;
  std::function<void(QWidget* parent, const QString& title, const QString& text, vintrel::MessageIcon icon)>
      message;
  // A message box with a details area holding `details`; without it, `message` shows the text.
  std::function<void(QWidget* parent, const QString& title, const QString& text, const QString& details,
                     vintrel::MessageIcon icon)>
      detailedMessage;
  std::function<void(const QString& folder)> openFolder;
  // Returns when the sound has ended.
  std::function<void(const QString& wavFile)> playSound;
  // Ends the process at once: no destructors, no waiting for the encoder.
  std::function<void(int status)> endProcess;

  // Every unset seam filled with the real thing.
  ShellSeams WithDefaults() const;
};

// The Qt window as the presenter sees it: its controls, its dialogs and message boxes (through
// the shell's seams), the file browser and the chime; the runner's critical messages become
// message boxes titled with the program's name.
class QtWindowPort : public vintrel::face::WindowAdapter<frmMain> {
 public:
  QtWindowPort(frmMain& frm, const ShellSeams& seams, std::string programFolder);

  void SetVersion(const std::string& caption, vintrel::Rgb colour) override;
  void SetProgressLabel(const std::string& text) override;
  bool PaintNow() override;
  vintrel::EventPump& Pump() override { return pump_; }
  std::string AskForFolder(const std::string& current) override;
  void SetCommandBoxText(const std::string& text) override;
  void EndProcess(int status) override;

  void ShowMessage(const std::string& title, const std::string& text, vintrel::MessageIcon icon) override;
  void ShowDetailedMessage(const std::string& title, const std::string& text, const std::string& details,
                           vintrel::MessageIcon icon) override;
  std::string AskForSourceFile() override;
  void OpenFolder(const std::string& folder) override;
  void PlaySoundToEnd(const std::string& wavFile) override;

 private:
  frmMain& frm_;
  const ShellSeams& seams_;
  std::string programFolder_;
  QtEventPump pump_;
};
