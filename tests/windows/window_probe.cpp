// Looks at vintrel.exe from outside, as another program would: finds its window by title, reads
// its size and layered attributes, sets the hidden command box, answers the Open Files dialog,
// waits for a batch, clicks images and arrows. Named data\conv.exe it stands in for the encoder.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int kWaitMs = 20000;

template <typename Find>
HWND WaitFor(Find find, int milliseconds = kWaitMs) {
  for (int waited = 0; waited < milliseconds; waited += 100) {
    if (HWND found = find()) return found;
    Sleep(100);
  }
  return nullptr;
}

HWND MainWindow() {
  // Shown only once start-up is over.
  return WaitFor([] {
    const HWND window = FindWindowW(nullptr, L"Vintrel");
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
  });
}

struct ChildQuery {
  const wchar_t* kind;
  bool visible;
  HWND found;
};

HWND Child(HWND parent, const wchar_t* kind, bool visible) {
  ChildQuery query{kind, visible, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* q = reinterpret_cast<ChildQuery*>(data);
        wchar_t name[64] = {};
        if (GetClassNameW(child, name, 64) == 0 || _wcsicmp(name, q->kind) != 0) return TRUE;
        if ((IsWindowVisible(child) != FALSE) != q->visible) return TRUE;
        q->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

int Fail(const char* what) {
  std::printf("%s\n", what);
  return 1;
}

// "WIDTHxHEIGHT key=RRGGBB flags=N" of the client area and the layered attributes.
int Describe() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window titled Vintrel");
  RECT client{};
  if (!GetClientRect(window, &client)) return Fail("GetClientRect failed");
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  const bool layered = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  if (!layered || !GetLayeredWindowAttributes(window, &key, &alpha, &flags))
    return Fail("not a layered window");
  std::printf("%ldx%ld key=%02X%02X%02X alpha=%u flags=%lu\n", client.right, client.bottom, GetRValue(key),
              GetGValue(key), GetBValue(key), alpha, flags);
  return 0;
}

int SetCommandBox(const wchar_t* text) {
  const HWND window = MainWindow();
  const HWND box = window != nullptr ? Child(window, L"Edit", false) : nullptr;
  if (box == nullptr) return Fail("no hidden EDIT in the window");
  // The action may open a modal dialog inside the handler: do not wait for it to end.
  DWORD_PTR result = 0;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 1000, &result);
  return 0;
}

// Prints the control that has the window's keyboard: a button by its text, others by class and id.
int Focus() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window");
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || info.hwndFocus == nullptr)
    return Fail("nothing has the keyboard");
  wchar_t kind[64] = {};
  wchar_t text[128] = {};
  GetClassNameW(info.hwndFocus, kind, 64);
  if (_wcsicmp(kind, L"Button") == 0 && GetWindowTextW(info.hwndFocus, text, 128) > 0) {
    std::printf("%ls\n", text);
  } else {
    std::printf("%ls%d\n", kind, static_cast<int>(GetDlgCtrlID(info.hwndFocus)));
  }
  return 0;
}

// Waits until a dialog titled TITLE is open (or, with `gone`, closed).
int WaitDialog(const wchar_t* title, bool gone) {
  const HWND found = WaitFor([title, gone] {
    const HWND dialog = FindWindowW(L"#32770", title);
    const bool open = dialog != nullptr && IsWindowVisible(dialog);
    return open != gone ? GetDesktopWindow() : nullptr;
  });
  return found != nullptr ? 0 : Fail(gone ? "the dialog stayed open" : "no dialog with that title");
}

// What a screen reader hears of the window's buttons: "name|role" per button, through oleacc.
int Names() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window");
  if (FAILED(CoInitialize(nullptr))) return Fail("no COM");
  EnumChildWindows(
      window,
      [](HWND child, LPARAM) -> BOOL {
        wchar_t kind[64] = {};
        if (GetClassNameW(child, kind, 64) == 0 || _wcsicmp(kind, L"Button") != 0) return TRUE;
        IAccessible* object = nullptr;
        const HRESULT got = AccessibleObjectFromWindow(child, static_cast<DWORD>(OBJID_CLIENT),
                                                       IID_IAccessible, reinterpret_cast<void**>(&object));
        if (FAILED(got) || object == nullptr) {
          std::printf("?|no object (0x%08lx)\n", static_cast<unsigned long>(got));
          return TRUE;
        }
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        VARIANT role{};
        const bool named = SUCCEEDED(object->get_accName(self, &name)) && name != nullptr;
        const bool roled = SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4;
        std::printf("%ls|%ld\n", named ? name : L"?", roled ? static_cast<long>(role.lVal) : -1L);
        if (name != nullptr) SysFreeString(name);
        object->Release();
        return TRUE;
      },
      0);
  CoUninitialize();
  return 0;
}

// Types a path into the dialog titled TITLE and presses Enter.
int AnswerDialog(const wchar_t* title, const wchar_t* path) {
  const HWND dialog = WaitFor([title] { return FindWindowW(L"#32770", title); });
  if (dialog == nullptr) return Fail("no dialog with that title");
  HWND name = GetDlgItem(dialog, 0x480);                  // edt1 of the classic dialog
  if (name == nullptr) name = GetDlgItem(dialog, 0x47C);  // cmb13 of the Explorer one
  if (name == nullptr) return Fail("no file name box in the dialog");
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (WaitFor([title] { return IsWindow(FindWindowW(L"#32770", title)) ? nullptr : GetDesktopWindow(); }) ==
      nullptr)
    return Fail("the dialog stayed open");
  return 0;
}

// Waits until the list holds COUNT rows and is enabled (no batch running); prints the rows.
int WaitForList(int count) {
  const HWND window = MainWindow();
  const HWND list = window != nullptr ? Child(window, WC_LISTVIEWW, true) : nullptr;
  if (list == nullptr) return Fail("no list view");
  LRESULT rows = -1;
  for (int waited = 0; waited < 120000; waited += 100) {
    rows = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    if (rows == count && IsWindowEnabled(list)) break;
    Sleep(100);
  }
  std::printf("rows=%ld enabled=%d\n", static_cast<long>(rows), IsWindowEnabled(list) ? 1 : 0);
  return rows == count && IsWindowEnabled(list) ? 0 : 1;
}

// A left click at a point of the window's client area, given to the child window that lies
// topmost there (its class is printed); with "ends", waits for the program to end.
int Click(int x, int y, bool ends) {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window titled Vintrel");
  POINT point{x, y};
  HWND target = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE);
  if (target == nullptr) target = window;
  MapWindowPoints(window, target, &point, 1);
  wchar_t kind[64] = {};
  if (GetClassNameW(target, kind, 64) != 0) std::printf("%ls\n", kind);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
  const LPARAM spot = MAKELPARAM(point.x, point.y);
  PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, spot);
  PostMessageW(target, WM_LBUTTONUP, 0, spot);
  const bool ended = handle != nullptr && WaitForSingleObject(handle, ends ? kWaitMs : 0) == WAIT_OBJECT_0;
  if (handle != nullptr) CloseHandle(handle);
  if (ends && !ended) return Fail("the program did not end");
  return 0;
}

// Waits until one of the combo boxes shows its list; prints its control id and closes it.
int DroppedPicker() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window titled Vintrel");
  for (int waited = 0; waited < kWaitMs; waited += 100) {
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t name[64] = {};
      if (GetClassNameW(child, name, 64) == 0 || _wcsicmp(name, WC_COMBOBOXW) != 0) continue;
      if (SendMessageW(child, CB_GETDROPPEDSTATE, 0, 0)) {
        SendMessageW(child, CB_SHOWDROPDOWN, FALSE, 0);
        std::printf("%d\n", static_cast<int>(GetDlgCtrlID(child)));
        return 0;
      }
    }
    Sleep(100);
  }
  return Fail("no picker list opened");
}

// The encoder's stand-in: reports a duration and a position, then writes its output file.
int Encode(int argc, wchar_t** argv) {
  std::printf("  Duration: 00:00:02.00, start: 0.000000, bitrate: N/A\n");
  std::printf("frame=   50 fps=0.0 q=2.0 size=      10kB time=00:00:02.00 bitrate=  41.0kbits/s\n");
  std::fflush(stdout);
  const HANDLE file =
      CreateFileW(argv[argc - 1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, "stand-in", 8, &written, nullptr);
  CloseHandle(file);
  return wrote ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring self = argv[0];
  if (self.size() >= 8 && _wcsicmp(self.c_str() + self.size() - 8, L"conv.exe") == 0)
    return Encode(argc, argv);
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"describe") return Describe();
  if (command == L"command-box" && argc > 2) return SetCommandBox(argv[2]);
  if (command == L"answer" && argc > 3) return AnswerDialog(argv[2], argv[3]);
  if (command == L"list" && argc > 2) return WaitForList(_wtoi(argv[2]));
  if ((command == L"click" || command == L"click-to-end") && argc > 3)
    return Click(_wtoi(argv[2]), _wtoi(argv[3]), command == L"click-to-end");
  if (command == L"dropped-picker") return DroppedPicker();
  if (command == L"focus") return Focus();
  if (command == L"names") return Names();
  if ((command == L"dialog" || command == L"dialog-gone") && argc > 2)
    return WaitDialog(argv[2], command == L"dialog-gone");
  std::printf(
      "usage: window_probe describe | command-box TEXT | answer TITLE PATH | list ROWS | click X Y |"
      " click-to-end X Y | dropped-picker\n");
  return 2;
}
