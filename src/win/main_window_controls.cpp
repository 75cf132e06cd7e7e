// The window's child controls: the list fed by the queue, the pickers and their arrow pictures,
// the output folder, the drop hint, the hidden command box; their places at the display's density.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <span>

#include "app/command_box_client.h"
#include "app/pickers.h"
#include "base/wide_text_win32.h"
#include "main_window.h"

namespace face = vintrel::face;

namespace {
const wchar_t* const kArrowClass = L"VintrelArrow";
const wchar_t* const kHintClass = L"VintrelDropHint";
constexpr UINT_PTR kListSubclass = 1;

MainWindow* Owner(HWND child) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(GetParent(child), GWLP_USERDATA));
}

// The arrow pictures: child windows, so they lie above the combo boxes' own arrow buttons.
LRESULT CALLBACK ArrowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* owner = Owner(hwnd);
  const int picker = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID)) - 100;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(hwnd, &paint);
      if (dc != nullptr && owner != nullptr) owner->PaintArrow(picker, hwnd, dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      if (owner != nullptr)
        owner->ArrowMouse(picker, message == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : message, true);
      return 0;
    case WM_MOUSEMOVE:
      if (owner != nullptr) owner->ArrowMouse(picker, message, true);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (GetCapture() == hwnd) ReleaseCapture();
      RECT rect{};
      GetClientRect(hwnd, &rect);
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (owner != nullptr) owner->ArrowMouse(picker, message, PtInRect(&rect, point) != FALSE);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The drop hint with its label painted inside.
LRESULT CALLBACK HintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MainWindow* owner = Owner(hwnd);
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(hwnd, &paint);
    if (dc != nullptr && owner != nullptr) owner->PaintHint(hwnd, dc);
    EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_DROPFILES && owner != nullptr) {
    owner->FilesDropped(reinterpret_cast<HDROP>(wParam));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_DROPFILES) {
    if (MainWindow* owner = Owner(hwnd)) owner->FilesDropped(reinterpret_cast<HDROP>(wParam));
    return 0;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool RegisterChildClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

double DisplayScale(HWND window) {
  // Per-monitor density where the system tells it (Windows 10 and later), else the system's.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto getDpi = user32 != nullptr ? reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
                                              GetProcAddress(user32, "GetDpiForWindow")))
                                        : nullptr;
  UINT dpi = getDpi != nullptr ? getDpi(window) : 0;
  if (dpi == 0) {
    const HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
      dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
      ReleaseDC(nullptr, screen);
    }
  }
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

void AddItems(HWND combo, std::span<const std::string_view> items) {
  for (std::string_view item : items) {
    const std::wstring text = vintrel::WideForDisplay(item);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

// The tool tip of an image button, which is a spot of the window itself; 0 is no tool's.
UINT_PTR TipId(face::Control control) {
  return static_cast<UINT_PTR>(control) + 1;
}

HWND Child(HWND parent, HINSTANCE instance, DWORD exStyle, const wchar_t* kind, DWORD style, int id,
           const wchar_t* text = L"") {
  return CreateWindowExW(exStyle, kind, text, WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}
}  // namespace

void MainWindow::CreateControls() {
  RegisterChildClass(instance_, kArrowClass, ArrowProc, nullptr);
  RegisterChildClass(instance_, kHintClass, HintProc, GetSysColorBrush(COLOR_WINDOW));
  const DWORD shown = WS_VISIBLE | WS_CLIPSIBLINGS;
  CreateAccessWindows();

  LV_ = Child(hwnd_, instance_, WS_EX_ACCEPTFILES, WC_LISTVIEWW,
              shown | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 10);
  SetWindowSubclass(LV_, ListProc, kListSubclass, 0);
  CreateList();

  picDragText_ = Child(hwnd_, instance_, WS_EX_ACCEPTFILES, kHintClass, shown, 11);
  for (std::size_t i = 0; i < combos_.size(); ++i) {
    combos_[i] = Child(hwnd_, instance_, 0, WC_COMBOBOXW, shown | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                       20 + static_cast<int>(i));
    AddItems(combos_[i], vintrel::kPickerRows[i].items);
  }
  SetSettings(vintrel::StoredSettings{});
  for (std::size_t i = 0; i < arrows_.size(); ++i) {
    arrows_[i] = Child(hwnd_, instance_, 0, kArrowClass, shown, 100 + static_cast<int>(i));
  }
  txtPath_ = Child(hwnd_, instance_, 0, WC_EDITW, shown | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 30);
  const std::wstring initial = vintrel::WideForDisplay(vintrel::CommandBox::kInitialText);
  // Never shown: other programs find it and set its text.
  menuMsg_ =
      Child(hwnd_, instance_, 0, WC_EDITW, ES_AUTOHSCROLL, vintrel::kCommandBoxControlId, initial.c_str());
  // A new child window goes to the bottom of its siblings: lift the hint and the arrows above the
  // list and the combo boxes they cover.
  SetWindowPos(picDragText_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (HWND above : arrows_)
    SetWindowPos(above, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  AddTips();
  LabelControls();
}

void MainWindow::AddTips() {
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0,
                          0, 0, 0, hwnd_, nullptr, instance_, nullptr);
  if (tips_ == nullptr) return;
  const auto add = [this](HWND window, UINT_PTR id, std::string_view text, bool whole) {
    std::wstring wide = vintrel::WideForDisplay(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS | (whole ? TTF_IDISHWND : 0);
    tool.hwnd = whole ? hwnd_ : window;
    tool.uId = whole ? reinterpret_cast<UINT_PTR>(window) : id;
    tool.lpszText = wide.data();
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  };
  for (const face::AccessibleControl& control : face::kTabOrder) {
    if (control.role == face::Role::PushButton)
      add(hwnd_, TipId(control.control), control.description, false);
  }
  for (std::size_t i = 0; i < combos_.size(); ++i) add(combos_[i], 0, face::kPickers[i].tip, true);
}

void MainWindow::Layout() {
  scale_ = DisplayScale(hwnd_);
  bitmaps_.Load(instance_, scale_);
  CreateFonts();
  const auto place = [this](HWND window, face::Twips twips, int extraHeight = 0) {
    const face::Pixels px = face::ToPixels(twips, scale_);
    MoveWindow(window, px.left, px.top, px.width, px.height + extraHeight, TRUE);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  };
  SetWindowPos(hwnd_, nullptr, 0, 0, face::TwipsToPixels(face::kClientWidth * 15, scale_),
               face::TwipsToPixels(face::kClientHeight * 15, scale_),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  place(LV_, face::kListPlace);
  FitList(true);
  place(picDragText_, face::kDropHintPlace);
  for (std::size_t i = 0; i < combos_.size(); ++i) {
    // A drop-down list's height includes its open list.
    place(combos_[i], face::kPickers[i].combo, face::TwipsToPixels(2400, scale_));
    place(arrows_[i], face::kPickers[i].arrow);
  }
  place(txtPath_, face::kPathPlace);
  PlaceAccessWindows();
  MoveWindow(menuMsg_, -1000, -1000, 40, 20, FALSE);
  if (tips_ != nullptr) {
    const auto rect = [this](UINT_PTR id, face::Twips twips) {
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof(tool);
      tool.hwnd = hwnd_;
      tool.uId = id;
      tool.rect = PlaceRect(twips);
      SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    for (const face::AccessibleControl& control : face::kTabOrder) {
      if (control.role == face::Role::PushButton)
        rect(TipId(control.control), face::ImagePlace(control.control));
    }
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HFONT MainWindow::MakeFont(double points, bool bold) const {
  const int height = -static_cast<int>(std::lround(points * 96.0 * scale_ / 72.0));
  const std::wstring faceName = vintrel::WideForDisplay(face::kFontFace);
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                     faceName.c_str());
}

// The hint's bold caption at the largest size that fits its label.
double MainWindow::DropHintPoints() const {
  const HDC dc = GetDC(hwnd_);
  if (dc == nullptr) return face::kDropHintPoints;
  const std::wstring caption = vintrel::WideForDisplay(face::kDropHintText);
  const auto measure = [&](double points) {
    const HFONT font = MakeFont(points, true);
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    if (!GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size)) size.cx = 0;
    SelectObject(dc, old);
    DeleteObject(font);
    return static_cast<int>(size.cx);
  };
  const double points = face::FittingPoints(face::kDropHintPoints,
                                            face::ToPixels(face::kDropLabelPlace, scale_).width, measure);
  ReleaseDC(hwnd_, dc);
  return points;
}

void MainWindow::CreateFonts() {
  for (HFONT* font : {&font_, &boldFont_, &percentFont_}) {
    if (*font != nullptr) DeleteObject(*font);
  }
  font_ = MakeFont(face::kDefaultPoints, false);
  boldFont_ = MakeFont(DropHintPoints(), true);
  percentFont_ = MakeFont(face::kPercentPoints, true);
}

void MainWindow::OnDpiChanged(UINT, const RECT* suggested) {
  if (suggested != nullptr) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Layout();
}

void MainWindow::PaintArrow(int picker, HWND arrow, HDC dc) {
  RECT rect{};
  GetClientRect(arrow, &rect);
  bitmaps_.Draw(dc, std::string(face::kArrowPictures[looks_.Small(face::kFirstArrow + picker)]), rect, false);
}

void MainWindow::PaintHint(HWND hint, HDC dc) {
  RECT rect{};
  GetClientRect(hint, &rect);
  FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
  const face::Pixels label = face::ToPixels(face::kDropLabelPlace, scale_);
  RECT text{label.left, label.top, label.left + label.width, label.top + label.height};
  SetBkMode(dc, TRANSPARENT);
  const vintrel::Rgb colour = face::kDropHintColour;
  SetTextColor(dc, RGB(colour.red, colour.green, colour.blue));
  const HGDIOBJ old = SelectObject(dc, boldFont_);
  const std::wstring caption = vintrel::WideForDisplay(face::kDropHintText);
  DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

vintrel::StoredSettings MainWindow::Settings() const {
  vintrel::StoredSettings settings;
  for (std::size_t i = 0; i < combos_.size(); ++i) {
    settings.pickers.values[i] = static_cast<int>(SendMessageW(combos_[i], CB_GETCURSEL, 0, 0));
  }
  const int length = GetWindowTextLengthW(txtPath_);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(txtPath_, text.data(), static_cast<int>(text.size()))));
  settings.outputFolder = vintrel::Utf8FromWide(text).value_or(std::string());
  return settings;
}

void MainWindow::SetSettings(const vintrel::StoredSettings& settings) {
  for (std::size_t i = 0; i < combos_.size(); ++i) {
    SendMessageW(combos_[i], CB_SETCURSEL, static_cast<WPARAM>(settings.pickers.values[i]), 0);
  }
  SetWindowTextW(txtPath_, vintrel::WideForDisplay(settings.outputFolder).c_str());
}

void MainWindow::SetActionsEnabled(bool enabled) {
  actionsEnabled_ = enabled;
  const std::array<HWND, 5> affected{buttons_[static_cast<std::size_t>(face::Control::Add)],
                                     buttons_[static_cast<std::size_t>(face::Control::Remove)],
                                     buttons_[static_cast<std::size_t>(face::Control::Convert)], LV_,
                                     buttons_[static_cast<std::size_t>(face::Control::Browse)]};
  const HWND focus = GetFocus();
  const bool losing = focusBeforeBatch_.Leave(enabled, focus, affected);
  for (HWND window : affected) {
    if (window != nullptr) EnableWindow(window, enabled ? TRUE : FALSE);
  }
  DragAcceptFiles(LV_, enabled ? TRUE : FALSE);
  // A disabled window keeps the keyboard unless it is moved on; it comes back after the batch.
  if (losing) SetFocus(GetNextDlgTabItem(hwnd_, focus, FALSE));
  if (const HWND back = focusBeforeBatch_.Return(enabled)) {
    if (GetForegroundWindow() == hwnd_) SetFocus(back);
    lastFocus_ = back;
  }
}

void MainWindow::SetProgressLabel(const std::wstring& text) {
  percent_ = text;
  RECT rect = PlaceRect(face::kPercentPlace);
  InvalidateRect(hwnd_, &rect, FALSE);
  // Its text is its name: screen readers hear the change ("Done.", "Stopped.").
  if (status_ != nullptr) SetWindowTextW(status_, text.c_str());
  if (status_ != nullptr) InvalidateRect(status_, nullptr, FALSE);
}

void MainWindow::SetProgressBar(double twips) {
  barTwips_ = face::BarTwips(twips);
  if (bar_ != nullptr) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(std::lround(face::BarPercent(barTwips_))), 0);
    InvalidateRect(bar_, nullptr, FALSE);
  }
  if (status_ != nullptr) InvalidateRect(status_, nullptr, FALSE);
  RECT rect = PlaceRect(face::kBarPlace);
  InvalidateRect(hwnd_, &rect, FALSE);
}

void MainWindow::SetDropHintVisible(bool visible) {
  ShowWindow(picDragText_, visible ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetVersion(const std::wstring& caption, vintrel::Rgb colour) {
  version_ = caption;
  versionColour_ = colour;
  RECT rect = PlaceRect(face::kVersionPlace);
  InvalidateRect(hwnd_, &rect, FALSE);
}

int MainWindow::SelectedRow() const {
  return ListView_GetNextItem(LV_, -1, LVNI_SELECTED);
}
