#include "long_message.h"

#include <algorithm>

namespace {

const wchar_t* const kClassName = L"VintrelLongMessage";
constexpr int kTextId = 100;
constexpr int kDetailsId = 101;
// A message box of more lines than this outgrows a small screen.
constexpr int kMessageBoxLines = 24;

struct LongMessage {
  std::wstring text;
  std::wstring details;
  bool showingDetails = false;
  bool done = false;
  HWND edit = nullptr;
  HWND detailsButton = nullptr;
  HWND ok = nullptr;
  HFONT font = nullptr;
  int unit = 8;  // a line's height in pixels, for the margins
};

std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (wchar_t c : text) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

int Lines(const std::wstring& text) {
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
}

void Place(LongMessage& message, HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const int margin = message.unit;
  const int buttonHeight = message.unit * 2;
  const int buttonWidth = message.unit * 8;
  const int buttonTop = client.bottom - margin - buttonHeight;
  MoveWindow(message.edit, margin, margin, std::max(0, static_cast<int>(client.right) - 2 * margin),
             std::max(0, buttonTop - 2 * margin), TRUE);
  MoveWindow(message.ok, client.right - margin - buttonWidth, buttonTop, buttonWidth, buttonHeight, TRUE);
  if (message.detailsButton != nullptr)
    MoveWindow(message.detailsButton, margin, buttonTop, buttonWidth + buttonWidth / 2, buttonHeight, TRUE);
}

LRESULT CALLBACK Procedure(HWND window, UINT code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<LongMessage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (code == WM_NCCREATE) {
    message = static_cast<LongMessage*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(message));
  }
  if (message == nullptr) return DefWindowProcW(window, code, wParam, lParam);
  switch (code) {
    case WM_SIZE:
      if (message->edit != nullptr) Place(*message, window);
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {message->unit * 30, message->unit * 12};
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        message->done = true;
      } else if (LOWORD(wParam) == kDetailsId) {
        message->showingDetails = !message->showingDetails;
        SetWindowTextW(message->edit,
                       WithCrLf(message->showingDetails ? message->details : message->text).c_str());
        SetWindowTextW(message->detailsButton, message->showingDetails ? L"Hide details" : L"Show details");
      }
      return 0;
    case WM_CLOSE:
      message->done = true;
      return 0;
    default:
      return DefWindowProcW(window, code, wParam, lParam);
  }
}

HWND Control(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, int id, HFONT font) {
  const HWND control =
      CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

RECT WorkArea(HWND owner) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) return monitor.rcWork;
  RECT area{0, 0, 800, 600};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

}  // namespace

bool TooLongForMessageBox(const std::wstring& text) {
  return Lines(text) > kMessageBoxLines;
}

void ShowLongMessage(HWND owner, const std::wstring& title, const std::wstring& text,
                     const std::wstring& details, UINT icon) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | icon);
    return;
  }
  LongMessage message{text, details};
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    message.font = CreateFontIndirectW(&metrics.lfMessageFont);
    message.unit = std::max(8, static_cast<int>(std::abs(metrics.lfMessageFont.lfHeight)) + 4);
  }
  const HFONT font =
      message.font != nullptr ? message.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  // As tall as the text wants, within the work area; the box scrolls the rest.
  const RECT area = WorkArea(owner);
  const int areaWidth = area.right - area.left;
  const int areaHeight = area.bottom - area.top;
  const int width = std::min(message.unit * 40, areaWidth);
  const int height = std::min((Lines(text) + 6) * message.unit, areaHeight);
  const HWND window = CreateWindowExW(
      WS_EX_DLGMODALFRAME, kClassName, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
      area.left + (areaWidth - width) / 2, area.top + (areaHeight - height) / 2, width, height, owner,
      nullptr, windowClass.hInstance, &message);
  if (window == nullptr) {
    if (message.font != nullptr) DeleteObject(message.font);
    MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | icon);
    return;
  }
  message.edit = Control(window, L"EDIT", L"",
                         WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kTextId, font);
  // The whole list of a long batch is longer than an edit box holds by default.
  SendMessageW(message.edit, EM_SETLIMITTEXT, 0, 0);
  SetWindowTextW(message.edit, WithCrLf(text).c_str());
  if (!details.empty())
    message.detailsButton = Control(window, L"BUTTON", L"Show details", BS_PUSHBUTTON, kDetailsId, font);
  message.ok = Control(window, L"BUTTON", L"OK", BS_DEFPUSHBUTTON, IDOK, font);
  Place(message, window);
  MessageBeep(icon);

  const bool ownerEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetFocus(message.ok);
  MSG pending{};
  while (!message.done) {
    const BOOL got = GetMessageW(&pending, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The quit belongs to the outer loop.
      if (got == 0) PostQuitMessage(static_cast<int>(pending.wParam));
      break;
    }
    if (IsDialogMessageW(window, &pending)) continue;
    TranslateMessage(&pending);
    DispatchMessageW(&pending);
  }
  if (ownerEnabled) EnableWindow(owner, TRUE);
  DestroyWindow(window);
  if (message.font != nullptr) DeleteObject(message.font);
  if (owner != nullptr) SetForegroundWindow(owner);
}
