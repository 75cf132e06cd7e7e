#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "app/settings.h"
#include "app/startup.h"
#include "engine/batch_seams.h"
#include "face/button_looks.h"
#include "face/face_layout.h"
#include "intake/file_queue.h"
#include "process/event_pump.h"

namespace vintrel::face {

// The window's events both windows hand to the presenter as they are.
struct WindowHooks {
  // imgButton_MouseUp, with any index (0 Add, 1 Remove, 2 Start; others are for it to ignore): the
  // presenter runs the release.
  std::function<void(int)> onRelease;
  // imgBrowse.
  std::function<void()> onBrowse;
  // imgExit.
  std::function<void()> onExit;
  // The window is closing, whatever closed it.
  std::function<void()> onUnload;
};

// What the presenter asks of a window: the toolkit's half of every step both windows take alike.
// The desktop side (message boxes, the file dialog, the file browser, the chime) and the runner's
// critical messages are the window's too, so a window is also the batch's desktop.
class WindowPort : public BatchDesktop, public MessageSink {
 public:
  // Start-up: the outline from the skin's key colour; the version label.
  virtual void ApplyWindowStyle() = 0;
  virtual void SetVersion(const std::string& caption, Rgb colour) = 0;

  // What setup.ini keeps, as the four pickers and the output path show it.
  virtual StoredSettings Settings() = 0;
  virtual void SetSettings(const StoredSettings& settings) = 0;

  // The list shows the presenter's queue: a row appended at `row`, the row at `row` removed.
  virtual void RowAppended(std::size_t row, const QueueEntry& entry) = 0;
  virtual void RowRemoved(std::size_t row) = 0;
  // What the batch shows and reads.
  virtual int SelectedRow() = 0;
  // The three action buttons, the list and the browse button, in that order.
  virtual void SetActionsEnabled(bool enabled) = 0;
  virtual void SetProgressLabel(const std::string& text) = 0;
  // 0 to kFullBarTwips.
  virtual void SetProgressBar(double twips) = 0;
  virtual void SetDropHintVisible(bool visible) = 0;

  // The buttons' looks, which the window's own pointer handling steers too; ShowLooks paints them.
  virtual ButtonLooks& Looks() = 0;
  virtual void ShowLooks() = 0;
  // Dispatches what is pending once, so new looks are painted before a long action. False when
  // the window went meanwhile.
  virtual bool PaintNow() = 0;
  virtual EventPump& Pump() = 0;

  // The folder dialog: the chosen folder, or empty when cancelled.
  virtual std::string AskForFolder(const std::string& current) = 0;
  // The hidden command box shows `text`; a box that already holds it does nothing.
  virtual void SetCommandBoxText(const std::string& /*text*/) {}
  // Ends the process at once: no destructors, no waiting for the encoder.
  virtual void EndProcess(int status) = 0;

  // A box without details; the runner's critical messages, titled with the program's name.
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    ShowDetailedMessage(title, text, std::string(), icon);
  }
  void Critical(const std::string& text) override {
    ShowMessage(std::string(kWindowTitle), text, MessageIcon::Critical);
  }
};

}  // namespace vintrel::face

namespace vintrel::face {

// The steps both windows' classes (frmMain, MainWindow) carry out under the same names, passed on
// once; a window's port adds the rest.
template <class Window>
class WindowAdapter : public WindowPort {
 public:
  explicit WindowAdapter(Window& window) : adapted_(window) {}

  void ApplyWindowStyle() override { adapted_.ApplyWindowStyle(); }
  StoredSettings Settings() override { return adapted_.Settings(); }
  void SetSettings(const StoredSettings& settings) override { adapted_.SetSettings(settings); }
  void RowAppended(std::size_t row, const QueueEntry& entry) override { adapted_.RowAppended(row, entry); }
  void RowRemoved(std::size_t row) override { adapted_.RowRemoved(row); }
  int SelectedRow() override { return adapted_.SelectedRow(); }
  void SetActionsEnabled(bool enabled) override { adapted_.SetActionsEnabled(enabled); }
  void SetProgressBar(double twips) override { adapted_.SetProgressBar(twips); }
  void SetDropHintVisible(bool visible) override { adapted_.SetDropHintVisible(visible); }
  ButtonLooks& Looks() override { return adapted_.Looks(); }
  void ShowLooks() override { adapted_.ApplyLooks(); }

 private:
  Window& adapted_;
};

}  // namespace vintrel::face
