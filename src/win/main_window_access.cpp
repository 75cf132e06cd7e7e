// What the window offers a keyboard and a screen reader. The image buttons, the bar and the
// percentage are real child windows (a button, a progress bar, a static), so the system's
// accessibility layer names them and gives their roles; they paint the face under them and
// leave the mouse to the window, whose hit-testing and looks stay as they were.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "base/wide_text_win32.h"
#include "main_window.h"

namespace face = vintrel::face;

namespace {
constexpr UINT_PTR kThroughSubclass = 2;
constexpr UINT_PTR kAccessSubclass = 3;
constexpr int kButtonIdBase = 200;

MainWindow* Owner(HWND child) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(GetParent(child), GWLP_USERDATA));
}

// `paints` set: the child draws the face itself (the bar, the percentage); the owner-drawn
// buttons are drawn through WM_DRAWITEM instead.
LRESULT CALLBACK ThroughProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR paints) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (paints != 0) {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(hwnd, &paint);
        MainWindow* owner = Owner(hwnd);
        if (dc != nullptr && owner != nullptr) owner->PaintThrough(hwnd, dc);
        EndPaint(hwnd, &paint);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

constexpr std::array<face::KeyCode, 5> kVirtualKeys{{{VK_SPACE, face::Key::Space},
                                                     {VK_RETURN, face::Key::Enter},
                                                     {VK_INSERT, face::Key::Insert},
                                                     {VK_DELETE, face::Key::Delete},
                                                     {'O', face::Key::O}}};

bool IsImageButton(face::Control control) {
  return face::Access(control).role == face::Role::PushButton;
}

long MsaaRole(face::Role role) {
  // By face::Role.
  constexpr std::array<long, 4> kRoles{ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_LIST, ROLE_SYSTEM_COMBOBOX,
                                       ROLE_SYSTEM_TEXT};
  return kRoles.at(static_cast<std::size_t>(role));
}

// `announces` set: the window's text is news to a reader (the percentage and the end text).
LRESULT CALLBACK AccessProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR announces) {
  if (message == WM_GETOBJECT) {
    if (const MainWindow* owner = Owner(hwnd)) {
      if (const LRESULT answer = AnswerAccessRequest(hwnd, wParam, lParam, owner->AccessFactsOf(hwnd)))
        return answer;
    }
  }
  const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
  // Its text is its name; a reader following it hears the end ("Done.", "Stopped.").
  if (message == WM_SETTEXT && announces != 0)
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
  return result;
}
}  // namespace

void MainWindow::CreateAccessWindows() {
  // Children take Tab in the order they were made: the action buttons come before the list,
  // the others after the output path (moved there once the path exists).
  for (const face::AccessibleControl& control : face::kTabOrder) {
    if (!IsImageButton(control.control)) continue;
    const std::wstring name = vintrel::WideForDisplay(control.name);
    const int id = kButtonIdBase + static_cast<int>(control.control);
    HWND button = CreateWindowExW(
        0, WC_BUTTONW, name.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_OWNERDRAW, 0,
        0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (button == nullptr) continue;
    SetWindowSubclass(button, ThroughProc, kThroughSubclass, 0);
    buttons_[static_cast<std::size_t>(control.control)] = button;
  }
  // The percentage lies above the bar, as on the face.
  status_ =
      CreateWindowExW(0, WC_STATICW, percent_.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_NOPREFIX,
                      0, 0, 0, 0, hwnd_, nullptr, instance_, nullptr);
  const std::wstring progress = vintrel::WideForDisplay(face::kProgressName);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, progress.c_str(),
                         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | PBS_SMOOTH, 0, 0, 0, 0, hwnd_, nullptr,
                         instance_, nullptr);
  for (HWND child : {status_, bar_}) {
    if (child != nullptr) SetWindowSubclass(child, ThroughProc, kThroughSubclass, 1);
  }
  if (bar_ != nullptr) SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
}

void MainWindow::PlaceAccessWindows() {
  const auto place = [this](HWND window, face::Twips twips) {
    if (window == nullptr) return;
    const face::Pixels px = face::ToPixels(twips, scale_);
    MoveWindow(window, px.left, px.top, px.width, px.height, TRUE);
  };
  for (const face::AccessibleControl& control : face::kTabOrder) {
    place(buttons_[static_cast<std::size_t>(control.control)], face::ImagePlace(control.control));
  }
  place(bar_, face::kBarPlace);
  place(status_, face::kPercentPlace);
  // After the output path in Tab order.
  HWND after = txtPath_;
  for (face::Control control : {face::Control::Browse, face::Control::Minimise, face::Control::Exit}) {
    HWND button = buttons_[static_cast<std::size_t>(control)];
    if (button == nullptr) continue;
    SetWindowPos(button, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = button;
  }
}

void MainWindow::PaintThrough(HWND child, HDC dc) {
  RECT place{};
  GetWindowRect(child, &place);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&place), 2);
  POINT old{};
  SetViewportOrgEx(dc, -place.left, -place.top, &old);
  PaintSkinUnder(dc);
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void MainWindow::DrawButton(const DRAWITEMSTRUCT& item) {
  PaintThrough(item.hwndItem, item.hDC);
  if ((item.itemState & ODS_FOCUS) == 0) return;
  // A line in the skin's blue, as thick as a pixel of the layout at this density.
  const vintrel::Rgb colour = face::kFocusColour;
  const int width = std::max(1, static_cast<int>(std::lround(scale_)));
  const HPEN pen = CreatePen(PS_SOLID, width, RGB(colour.red, colour.green, colour.blue));
  if (pen == nullptr) return;
  const HGDIOBJ oldPen = SelectObject(item.hDC, pen);
  const HGDIOBJ oldBrush = SelectObject(item.hDC, GetStockObject(NULL_BRUSH));
  const RECT& r = item.rcItem;
  const int inset = width;
  RoundRect(item.hDC, r.left + inset, r.top + inset, r.right - inset + 1, r.bottom - inset + 1, 6 * width,
            6 * width);
  SelectObject(item.hDC, oldBrush);
  SelectObject(item.hDC, oldPen);
  DeleteObject(pen);
}

HWND MainWindow::ControlWindow(face::Control control) const {
  if (const auto picker = face::PickerOfControl(control)) return combos_[vintrel::Index(*picker)];
  switch (control) {
    case face::Control::List:
      return LV_;
    case face::Control::OutputPath:
      return txtPath_;
    default:
      return buttons_[static_cast<std::size_t>(control)];
  }
}

std::optional<face::Control> MainWindow::ControlOf(HWND window) const {
  if (window == nullptr) return std::nullopt;
  for (const face::AccessibleControl& control : face::kTabOrder) {
    if (ControlWindow(control.control) == window) return control.control;
  }
  return std::nullopt;
}

void MainWindow::PressControl(face::Control control) {
  face::PressControl(control, actionsEnabled_ || !face::DisabledDuringBatch(control), looks_,
                     {[this](int action) { imgButton_MouseUp(action); }, [this] { imgBrowse_Click(); },
                      [this] { ShowWindow(hwnd_, SW_MINIMIZE); }, onExit});
}

bool MainWindow::HandleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  // Bit 30: the key was already down, so this press repeats.
  const face::KeyPress press{static_cast<int>(message.wParam), GetKeyState(VK_CONTROL) < 0,
                             GetKeyState(VK_MENU) < 0, GetKeyState(VK_SHIFT) < 0,
                             (message.lParam & (1L << 30)) != 0};
  const face::KeyOutcome outcome =
      face::DecideKey(kVirtualKeys, press, ControlOf(GetFocus()), actionsEnabled_);
  if (outcome.press) PressControl(*outcome.press);
  return outcome.taken;
}

void MainWindow::OnActivate(bool active) {
  if (!active) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  // The system gives an activated window the keyboard itself, not the control that had it.
  HWND target = lastFocus_;
  if (target == nullptr || !IsWindow(target) || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  }
  if (target != nullptr) SetFocus(target);
}

void MainWindow::GiveBackFocus(HWND focus) {
  if (hwnd_ == nullptr || !IsWindow(hwnd_) || IsIconic(hwnd_)) return;
  if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
  if (GetActiveWindow() != hwnd_) SetActiveWindow(hwnd_);
  OnActivate(true);
}

void MainWindow::LabelControls() {
  for (const face::AccessibleControl& control : face::kTabOrder) {
    const HWND window = ControlWindow(control.control);
    if (window == nullptr) continue;
    SetWindowSubclass(window, AccessProc, kAccessSubclass, 0);
    if (IsImageButton(control.control)) continue;
    // The system's own objects name a list, a drop-down or an edit by the static just before it
    // in z-order, shown or not: hidden, the face stays as it is.
    const std::wstring name = vintrel::WideForDisplay(control.name);
    const HWND label = CreateWindowExW(0, WC_STATICW, name.c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, hwnd_,
                                       nullptr, instance_, nullptr);
    if (label == nullptr) continue;
    const HWND before = GetWindow(window, GW_HWNDPREV);
    SetWindowPos(label, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (bar_ != nullptr) SetWindowSubclass(bar_, AccessProc, kAccessSubclass, 0);
  if (status_ != nullptr) SetWindowSubclass(status_, AccessProc, kAccessSubclass, 1);
  if (picDragText_ != nullptr) SetWindowSubclass(picDragText_, AccessProc, kAccessSubclass, 0);
}

AccessFacts MainWindow::AccessFactsOf(HWND child) const {
  AccessFacts facts;
  if (child == bar_) {
    facts.role = ROLE_SYSTEM_PROGRESSBAR;
    facts.percent = true;
  } else if (child == status_) {
    facts.role = ROLE_SYSTEM_STATICTEXT;
  } else if (child == picDragText_) {
    // Its caption is painted, not its text.
    facts.name = vintrel::WideForDisplay(face::kDropHintText);
    facts.role = ROLE_SYSTEM_STATICTEXT;
  } else if (const auto control = ControlOf(child)) {
    const face::AccessibleControl& access = face::Access(*control);
    facts.name = vintrel::WideForDisplay(access.name);
    facts.role = MsaaRole(access.role);
    facts.description = vintrel::WideForDisplay(access.description);
    facts.press = access.role == face::Role::PushButton;
    facts.textIsValue = access.role == face::Role::ComboBox;
  }
  return facts;
}
