#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "access_object.h"
#include "app/command_box.h"
#include "app/settings.h"
#include "face/button_looks.h"
#include "face/face_access.h"
#include "face/face_layout.h"
#include "face/window_port.h"
#include "intake/file_queue.h"
#include "skin_bitmaps.h"

// The one window on Win32: a layered popup whose face is the skin, with windowless image buttons
// hit-tested in its own mouse handling and real child windows for the list, the pickers, their
// arrows, the output folder, the drop hint and the hidden command box.
class MainWindow : public vintrel::face::WindowHooks {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden; false when the system refused.
  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }
  void Show(int showCommand);

  // What the presenter asks of the window, by the port's adapter and WinApp.
  void ApplyWindowStyle();
  vintrel::StoredSettings Settings() const;
  void SetSettings(const vintrel::StoredSettings& settings);
  // LV shows the presenter's queue (lstFile) as it reports each change.
  void RowAppended(std::size_t row, const vintrel::QueueEntry& entry);
  void RowRemoved(std::size_t row);
  int SelectedRow() const;
  void SetActionsEnabled(bool enabled);
  void SetVersion(const std::wstring& caption, vintrel::Rgb colour);
  void SetProgressLabel(const std::wstring& text);
  // 0 to 3960 twips, clamped.
  void SetProgressBar(double twips);
  void SetDropHintVisible(bool visible);
  vintrel::face::ButtonLooks& Looks() { return looks_; }
  void ApplyLooks();

  // The release of an action button, by the mouse, a key or the command box: onRelease runs it.
  void imgButton_MouseUp(int index);
  // Held around a dialog or message box: the window takes the keyboard back afterwards, on the
  // control that had it, also where nothing else reactivates it (wine without a window manager).
  class KeepFocus {
   public:
    explicit KeepFocus(MainWindow& window) : window_(window), focus_(GetFocus()) {}
    ~KeepFocus() { window_.GiveBackFocus(focus_); }
    KeepFocus(const KeepFocus&) = delete;
    KeepFocus& operator=(const KeepFocus&) = delete;

   private:
    MainWindow& window_;
    HWND focus_;
  };
  void GiveBackFocus(HWND focus);

  // A key the window acts on itself (Tab and the dialog keys excepted); true when it did.
  bool HandleKey(const MSG& message);

  // Hooks the application fills in besides the WindowHooks.
  std::function<void(const std::vector<std::string>&)> onFilesDropped;
  // Files of a second launch; a text other programs set in the hidden command box.
  // True when the files were taken.
  std::function<bool(std::vector<std::string>)> onLaunch;
  std::function<void(std::string)> onCommandBoxText;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // What lies under a point of the client area that no child window covers.
  enum class Spot { Bare, Action0, Action1, Action2, Browse, Min, Exit, Version, Inert };
  Spot HitTest(POINT point) const;
  RECT PlaceRect(vintrel::face::Twips twips) const;

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnMouseDown(POINT point);
  void OnMouseMove(POINT point);
  void OnMouseUp(POINT point, bool left);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void OnDpiChanged(UINT dpi, const RECT* suggested);
  void CreateControls();
  void CreateFonts();
  HFONT MakeFont(double points, bool bold) const;
  double DropHintPoints() const;
  void Layout();
  void CreateList();
  // The columns' widths for the rows there are, and the rows' texts for those widths.
  void FitList(bool always = false);
  void SetRowName(int row);
  void AddTips();
  void imgBrowse_Click();
  void OpenPicker(int picker);
  void StartDrag();
  void menuMsg_Change();
  // Keyboard and screen-reader access: real child windows for the image buttons, the bar and
  // the percentage, which paint the face under them and leave the mouse to the window.
  void CreateAccessWindows();
  void PlaceAccessWindows();
  void PaintSkinUnder(HDC dc);
  HWND ControlWindow(vintrel::face::Control control) const;
  std::optional<vintrel::face::Control> ControlOf(HWND window) const;
  void PressControl(vintrel::face::Control control);
  void DrawButton(const DRAWITEMSTRUCT& item);
  void OnActivate(bool active);
  // Hidden labels for the controls without a caption of their own, and answers to screen readers.
  void LabelControls();

 public:
  // Called by the arrow pictures' own window procedure.
  void ArrowMouse(int picker, UINT message, bool inside);
  void PaintArrow(int picker, HWND arrow, HDC dc);
  void PaintHint(HWND hint, HDC dc);
  void FilesDropped(HDROP drop);
  void PaintThrough(HWND child, HDC dc);
  // What a screen reader is told of one of the child windows.
  AccessFacts AccessFactsOf(HWND child) const;

 private:
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND LV_ = nullptr;
  HWND picDragText_ = nullptr;
  std::array<HWND, vintrel::kPickerCount> combos_{};
  std::array<HWND, vintrel::kPickerCount> arrows_{};
  HWND txtPath_ = nullptr;
  HWND menuMsg_ = nullptr;
  HWND tips_ = nullptr;
  // By face::Control, for the six image buttons; nullptr for the others.
  std::array<HWND, vintrel::face::kControlCount> buttons_{};
  HWND bar_ = nullptr;
  HWND status_ = nullptr;
  // Where the keyboard was when the window lost it, or when a batch disabled it.
  HWND lastFocus_ = nullptr;
  vintrel::face::FocusBeforeBatch<HWND> focusBeforeBatch_;
  HFONT font_ = nullptr, boldFont_ = nullptr, percentFont_ = nullptr;

  SkinBitmaps bitmaps_;
  vintrel::face::ButtonLooks looks_;
  // Box texts are taken up from the message loop, in arrival order.
  std::deque<std::string> boxTexts_;
  // The paths LV shows, by row, elided anew whenever the name column's width changes.
  std::vector<std::string> rowPaths_;
  double scale_ = 1.0;
  double barTwips_ = 0.0;
  bool actionsEnabled_ = true;
  std::wstring percent_;
  std::wstring version_;
  vintrel::Rgb versionColour_{};
  // The element a press captured the mouse for; released with the button.
  Spot captured_ = Spot::Bare;
};
