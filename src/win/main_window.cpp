// The window's own messages: painting the skin and its images, the mouse over the windowless
// buttons, the drag of the body, the command box, drops.
#include "main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <utility>

#include "app/command_box_client.h"
#include "base/wide_text_win32.h"
#include "second_launch.h"

namespace face = vintrel::face;

// Other programs find the window by this title.
static_assert(face::kWindowTitle == vintrel::kCommandBoxWindowTitle);

namespace {
const wchar_t* const kClassName = SecondLaunch::kWindowClass;
// Box texts are taken up from the message loop, so the sender's WM_SETTEXT returns at once even
// when the action opens a modal dialog.
constexpr UINT kTakeBoxText = WM_APP + 1;

std::string Utf8OrEmpty(const std::wstring& wide) {
  return vintrel::Utf8FromWide(wide).value_or(std::string());
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}
}  // namespace

MainWindow::MainWindow() : percent_(L"0%") {}

MainWindow::~MainWindow() {
  for (HFONT font : {font_, boldFont_, percentFont_}) {
    if (font != nullptr) DeleteObject(font);
  }
}

bool MainWindow::Create(HINSTANCE instance) {
  instance_ = instance;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(instance, L"VINTREL");
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"VINTREL", IMAGE_ICON, 16, 16, 0));
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExW(&windowClass) == 0) return false;

  const std::wstring title = vintrel::WideForDisplay(face::kWindowTitle);
  // Sized and centred once the display's density is known.
  hwnd_ =
      CreateWindowExW(WS_EX_APPWINDOW, kClassName, title.c_str(), WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX,
                      0, 0, face::kClientWidth, face::kClientHeight, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  CreateControls();
  Layout();
  RECT area{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) area = {0, 0, 1024, 768};
  RECT window{};
  GetWindowRect(hwnd_, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

void MainWindow::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
}

void MainWindow::ApplyWindowStyle() {
  const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, style | WS_EX_LAYERED);
  const vintrel::Rgb key = face::kKeyColour;
  SetLayeredWindowAttributes(hwnd_, RGB(key.red, key.green, key.blue), face::kLayeredAlpha,
                             face::kLayeredFlags);
}

RECT MainWindow::PlaceRect(face::Twips twips) const {
  const face::Pixels px = face::ToPixels(twips, scale_);
  return {px.left, px.top, px.left + px.width, px.top + px.height};
}

MainWindow::Spot MainWindow::HitTest(POINT point) const {
  const auto in = [&](face::Twips place) {
    const RECT rect = PlaceRect(place);
    return PtInRect(&rect, point) != FALSE;
  };
  for (int i = 0; i < vintrel::kActionCount; ++i) {
    if (in(face::kActionPlaces[static_cast<std::size_t>(i)]))
      return static_cast<Spot>(static_cast<int>(Spot::Action0) + i);
  }
  if (in(face::kBrowsePlace)) return Spot::Browse;
  if (in(face::kMinPlace)) return Spot::Min;
  if (in(face::kExitPlace)) return Spot::Exit;
  if (in(face::kVersionPlace)) return Spot::Version;
  if (in(face::kBarPlace) || in(face::kPercentPlace)) return Spot::Inert;
  return Spot::Bare;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the skin covers everything
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnMouseDown(point);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(point);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnMouseUp(point, message == WM_LBUTTONUP);
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(hwnd_, &cursor);
        const Spot spot = HitTest(cursor);
        SetCursor(LoadCursorW(nullptr, spot == Spot::Min || spot == Spot::Exit ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_DRAWITEM:
      if (ControlOf(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem)) {
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0);
      if (LOWORD(wParam) != WA_INACTIVE) return 0;
      break;
    case WM_COPYDATA:
      if (auto files = SecondLaunch::Receive(hwnd_, wParam, lParam)) {
        return onLaunch && onLaunch(std::move(*files)) ? TRUE : FALSE;
      }
      return FALSE;
    case kTakeBoxText:
      if (!boxTexts_.empty()) {
        std::string text = std::move(boxTexts_.front());
        boxTexts_.pop_front();
        if (onCommandBoxText) onCommandBoxText(std::move(text));
      }
      return 0;
    case WM_DROPFILES:
      FilesDropped(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // unloading is never refused
    case WM_ENDSESSION:
      // Log-off or shutdown: the system ends the process after this, so unload now, unsaved.
      if (wParam != FALSE && onUnload) onUnload();
      return 0;
    case WM_CLOSE:
      // Whatever closes the window unloads it, as the exit image does without saving.
      if (onUnload) onUnload();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnPaint() {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(hwnd_, &paint);
  if (dc == nullptr) return;
  PaintSkinUnder(dc);
  EndPaint(hwnd_, &paint);
}

void MainWindow::PaintSkinUnder(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  bitmaps_.Draw(dc, "skin", client, false);
  for (int i = 0; i < vintrel::kActionCount; ++i) {
    const std::string name = face::ActionPicture(i, looks_.Action(i));
    if (!name.empty())
      bitmaps_.Draw(dc, name, PlaceRect(face::kActionPlaces[static_cast<std::size_t>(i)]), false);
  }
  bitmaps_.Draw(dc, std::string(face::kBrowsePictures[looks_.Small(face::kBrowseImage)]),
                PlaceRect(face::kBrowsePlace), false);
  RECT bar = PlaceRect(face::kBarPlace);
  bar.right = bar.left + face::TwipsToPixels(barTwips_, scale_);
  if (bar.right > bar.left) bitmaps_.Draw(dc, "progress", bar, true);

  SetBkMode(dc, TRANSPARENT);
  const HGDIOBJ oldFont = SelectObject(dc, percentFont_);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT percent = PlaceRect(face::kPercentPlace);
  DrawTextW(dc, percent_.c_str(), -1, &percent, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, font_);
  SetTextColor(dc, RGB(versionColour_.red, versionColour_.green, versionColour_.blue));
  RECT version = PlaceRect(face::kVersionPlace);
  DrawTextW(dc, version_.c_str(), -1, &version, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

void MainWindow::ApplyLooks() {
  InvalidateRect(hwnd_, nullptr, FALSE);
  for (HWND arrow : arrows_) InvalidateRect(arrow, nullptr, FALSE);
  for (HWND button : buttons_) {
    if (button != nullptr) InvalidateRect(button, nullptr, FALSE);
  }
}

void MainWindow::OnMouseDown(POINT point) {
  const Spot spot = HitTest(point);
  const bool action = spot >= Spot::Action0 && spot <= Spot::Action2;
  if ((action || spot == Spot::Browse) && !actionsEnabled_) return;
  if (spot == Spot::Bare || spot == Spot::Version) {
    StartDrag();
    return;
  }
  if (spot == Spot::Inert) return;
  // The release goes to the element that got the press, wherever the pointer is by then.
  captured_ = spot;
  SetCapture(hwnd_);
  if (action) looks_.ActionDown(static_cast<int>(spot) - static_cast<int>(Spot::Action0));
  if (spot == Spot::Browse) looks_.SmallDown(face::kBrowseImage);
  ApplyLooks();
}

void MainWindow::OnMouseMove(POINT point) {
  const Spot spot = captured_ != Spot::Bare ? captured_ : HitTest(point);
  const bool action = spot >= Spot::Action0 && spot <= Spot::Action2;
  if ((action || spot == Spot::Browse) && !actionsEnabled_) return;
  if (action) {
    looks_.ActionMove(static_cast<int>(spot) - static_cast<int>(Spot::Action0));
  } else if (spot == Spot::Browse) {
    looks_.SmallMove(face::kBrowseImage);
  } else if (spot == Spot::Bare) {
    looks_.FormMove();
  } else {
    return;
  }
  ApplyLooks();
}

void MainWindow::OnMouseUp(POINT point, bool left) {
  const Spot spot = captured_;
  if (spot == Spot::Bare) return;
  captured_ = Spot::Bare;
  if (GetCapture() == hwnd_) ReleaseCapture();
  const bool inside = HitTest(point) == spot;
  if (spot >= Spot::Action0 && spot <= Spot::Action2) {
    imgButton_MouseUp(static_cast<int>(spot) - static_cast<int>(Spot::Action0));
    return;
  }
  if (!left || !inside) return;
  if (spot == Spot::Browse) imgBrowse_Click();
  if (spot == Spot::Min) ShowWindow(hwnd_, SW_MINIMIZE);
  if (spot == Spot::Exit && onExit) onExit();
}

void MainWindow::imgButton_MouseUp(int index) {
  if (onRelease) onRelease(index);
}

void MainWindow::StartDrag() {
  // The system's own move loop; it returns when the button is released.
  ReleaseCapture();
  SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void MainWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  const HWND from = reinterpret_cast<HWND>(lParam);
  if (from == menuMsg_ && HIWORD(wParam) == EN_CHANGE) menuMsg_Change();
  // A button's own click comes only from a screen reader's default action (BM_CLICK): the
  // mouse never reaches the buttons, and the window takes Space and Enter before them.
  if (HIWORD(wParam) == BN_CLICKED && from != nullptr) {
    if (const auto control = ControlOf(from);
        control && face::Access(*control).role == face::Role::PushButton) {
      PressControl(*control);
    }
  }
}

void MainWindow::menuMsg_Change() {
  // WM_SETTEXT from another program is not held to EM_LIMITTEXT: a text past the line limit is
  // no command, and it is not even read in full.
  if (GetWindowTextLengthW(menuMsg_) > static_cast<int>(vintrel::kCommandBoxMaxText)) return;
  std::string text = Utf8OrEmpty(WindowText(menuMsg_));
  if (text.size() > vintrel::kCommandBoxMaxText) return;
  boxTexts_.push_back(std::move(text));
  if (!PostMessageW(hwnd_, kTakeBoxText, 0, 0)) boxTexts_.pop_back();
}

void MainWindow::imgBrowse_Click() {
  if (onBrowse) onBrowse();
}

void MainWindow::OpenPicker(int picker) {
  SendMessageW(combos_.at(static_cast<std::size_t>(picker)), CB_SHOWDROPDOWN, static_cast<WPARAM>(-1), 0);
}

void MainWindow::ArrowMouse(int picker, UINT message, bool inside) {
  const int image = face::kFirstArrow + picker;
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
    looks_.SmallDown(image);
  } else if (message == WM_MOUSEMOVE) {
    looks_.SmallMove(image);
  } else if (message == WM_LBUTTONUP && inside) {
    OpenPicker(picker);
    return;
  }
  InvalidateRect(arrows_.at(static_cast<std::size_t>(picker)), nullptr, FALSE);
}

void MainWindow::FilesDropped(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    if (DragQueryFileW(drop, i, path.data(), length + 1) == 0) continue;
    path.resize(length);
    // A name that cannot be carried as UTF-8 is left out rather than mangled.
    if (auto utf8 = vintrel::Utf8FromWide(path)) paths.push_back(std::move(*utf8));
  }
  DragFinish(drop);
  if (onFilesDropped && !paths.empty()) onFilesDropped(paths);
}
