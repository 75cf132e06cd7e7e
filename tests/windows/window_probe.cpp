// Looks at vintrel.exe from outside, as another program would: finds its window by title, reads
// its size, layered attributes, control places and list, answers the Open Files and folder
// dialogs, reads the end box, ends the session, waits for a batch, clicks images and arrows.
// Named data\conv.exe it stands in for the encoder.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/command_box_client.h"
#include "face/face_layout.h"
#include "window_probe.h"

namespace probe {

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

// The window's child controls where the face model puts them (at 96 dpi); prints each mismatch.
int Rects() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window titled Vintrel");
  namespace face = vintrel::face;
  struct Expected {
    int id;
    face::Twips place;
    bool heightToo;  // a combo box's height is its font's, not the place's
  };
  std::vector<Expected> expected{
      {10, face::kListPlace, true}, {11, face::kDropHintPlace, true}, {30, face::kPathPlace, true}};
  for (int i = 0; i < static_cast<int>(face::kPickers.size()); ++i) {
    expected.push_back({20 + i, face::kPickers[static_cast<std::size_t>(i)].combo, false});
    expected.push_back({100 + i, face::kPickers[static_cast<std::size_t>(i)].arrow, true});
  }
  int wrong = 0;
  for (const Expected& e : expected) {
    const HWND child = GetDlgItem(window, e.id);
    RECT rect{};
    if (child == nullptr || !GetWindowRect(child, &rect)) {
      std::printf("control %d missing\n", e.id);
      ++wrong;
      continue;
    }
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    const face::Pixels want = face::ToPixels(e.place);
    const face::Pixels got{rect.left, rect.top, rect.right - rect.left,
                           e.heightToo ? rect.bottom - rect.top : want.height};
    if (!(got == want)) {
      std::printf("control %d at %d,%d %dx%d, expected %d,%d %dx%d\n", e.id, got.left, got.top, got.width,
                  got.height, want.left, want.top, want.width, want.height);
      ++wrong;
    }
  }
  return wrong == 0 ? 0 : 1;
}

// A control's text; GetWindowText does not ask another process's controls.
std::wstring ControlText(HWND control) {
  std::wstring text(static_cast<std::size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

// A line of text as UTF-8, whatever the console's code page.
void PrintLine(const std::wstring& text) {
  std::string bytes(text.size() * 4 + 1, '\0');
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  std::printf("%s\n", bytes.c_str());
}

// The list as a person sees it: "rows=N hscroll=0|1 widths=A+B client=C" and the text of row
// ROW, read through memory in the window's process (the list's texts do not cross processes).
int ListLook(int row) {
  const HWND window = MainWindow();
  const HWND list = window != nullptr ? GetDlgItem(window, 10) : nullptr;
  if (list == nullptr) return Fail("no list view");
  RECT client{};
  GetClientRect(list, &client);
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  std::printf("rows=%ld hscroll=%d widths=%ld+%ld client=%ld\n",
              static_cast<long>(ListView_GetItemCount(list)), (style & WS_HSCROLL) ? 1 : 0,
              static_cast<long>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)),
              static_cast<long>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0)), client.right);
  DWORD id = 0;
  GetWindowThreadProcessId(list, &id);
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
  if (process == nullptr) return Fail("cannot open the window's process");
  constexpr int kChars = 1024;
  auto* remote = static_cast<unsigned char*>(VirtualAllocEx(
      process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  wchar_t text[kChars] = {};
  if (remote != nullptr) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    item.cchTextMax = kChars;
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  PrintLine(text);
  return 0;
}

// How many Vintrel windows run.
// Sets the command box's text as any program may, with WM_SETTEXT, which the box's own limit does
// not hold: `length` characters ending in "b1" (Remove).
int LongBoxText(int length) {
  const HWND window = MainWindow();
  const HWND box = window != nullptr ? GetDlgItem(window, vintrel::kCommandBoxControlId) : nullptr;
  if (box == nullptr || length < 2) return Fail("no command box");
  std::wstring text(static_cast<std::size_t>(length - 2), L' ');
  text += L"b1";
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return 0;
}

int CountWindows() {
  int count = 0;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"VintrelMain", nullptr)) != nullptr;) ++count;
  std::printf("%d\n", count);
  return 0;
}

int CountOf(const std::wstring& text, const std::wstring& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The end box of a batch with failures: whether it fits the work area, how many failures its
// text names, and how many its details name; then closes it.
int EndBox() {
  const HWND box = WaitFor([] { return FindWindowW(L"VintrelLongMessage", L"Convert"); }, 600000);
  if (box == nullptr) return Fail("no end box");
  RECT area{}, rect{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(box, &rect);
  const bool fits = rect.left >= area.left && rect.top >= area.top && rect.right <= area.right &&
                    rect.bottom <= area.bottom;
  const auto text = [box] { return ControlText(GetDlgItem(box, 100)); };
  const std::wstring shown = text();
  SendMessageW(GetDlgItem(box, 101), BM_CLICK, 0, 0);
  const std::wstring all = text();
  const bool more = shown.find(L"more (all of them in the details)") != std::wstring::npos;
  std::printf("fits=%d shown=%d more=%d all=%d\n", fits ? 1 : 0, CountOf(shown, L"\n    "), more ? 1 : 0,
              CountOf(all, L"\n    "));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

// Log-off as the system does it; waits for the program to end.
int EndSession() {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window titled Vintrel");
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  DWORD_PTR agreed = 0;
  SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kWaitMs, &agreed);
  if (!agreed) return Fail("the window refused to end the session");
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 2000, &ignored);
  const bool ended = process != nullptr && WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0;
  if (process != nullptr) CloseHandle(process);
  return ended ? 0 : Fail("the program did not end");
}

// Presses OK in the folder dialog Browse opened; prints the output folder box's text before and
// after.
int Browse() {
  const HWND window = MainWindow();
  const HWND dialog = WaitFor([] { return FindWindowW(L"#32770", nullptr); });
  if (window == nullptr || dialog == nullptr) return Fail("no folder dialog");
  PrintLine(ControlText(GetDlgItem(window, 30)));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (WaitFor([dialog] { return IsWindow(dialog) ? nullptr : GetDesktopWindow(); }) == nullptr)
    return Fail("the dialog stayed open");
  Sleep(200);
  PrintLine(ControlText(GetDlgItem(window, 30)));
  return 0;
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

}  // namespace probe

int wmain(int argc, wchar_t** argv) {
  using namespace probe;
  const std::wstring self = argv[0];
  if (self.size() >= 8 && _wcsicmp(self.c_str() + self.size() - 8, L"conv.exe") == 0)
    return Encode(argc, argv);
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"describe") return Describe();
  if (command == L"answer" && argc > 3) return AnswerDialog(argv[2], argv[3]);
  if (command == L"list" && argc > 2) return WaitForList(_wtoi(argv[2]));
  if ((command == L"click" || command == L"click-to-end") && argc > 3)
    return Click(_wtoi(argv[2]), _wtoi(argv[3]), command == L"click-to-end");
  if (command == L"dropped-picker") return DroppedPicker();
  if (command == L"focus") return Focus();
  if (command == L"names") return Names(nullptr);
  if (command == L"press" && argc > 2) return Names(argv[2]);
  if (command == L"await-name" && argc > 2) return AwaitName(argv[2]);
  if ((command == L"dialog" || command == L"dialog-gone") && argc > 2)
    return WaitDialog(argv[2], command == L"dialog-gone");
  if (command == L"rects") return Rects();
  if (command == L"list-look" && argc > 2) return ListLook(_wtoi(argv[2]));
  if (command == L"windows") return CountWindows();
  if (command == L"long-box" && argc > 2) return LongBoxText(_wtoi(argv[2]));
  if (command == L"end-box") return EndBox();
  if (command == L"end-session") return EndSession();
  if (command == L"browse") return Browse();
  std::printf(
      "usage: window_probe describe | answer TITLE PATH | list ROWS | click X Y |"
      " click-to-end X Y | dropped-picker | focus | names | press NAME | await-name TEXT | rects | list-look "
      "ROW | windows | end-box | end-session | "
      "browse\n");
  return 2;
}
