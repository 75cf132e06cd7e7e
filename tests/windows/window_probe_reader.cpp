// The probe's screen-reader commands: the window's child objects read through oleacc as a reader
// gets them, a reader's default action, and a reader's wait for a name change.
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "window_probe.h"

namespace probe {
namespace {

std::wstring AccText(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  std::wstring result;
  if (SUCCEEDED((object->*get)(self, &text)) && text != nullptr) result = text;
  SysFreeString(text);
  return result;
}

long AccRole(IAccessible* object) {
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role{};
  return SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4 ? role.lVal : -1L;
}

const wchar_t* awaited = nullptr;
bool heard = false;

}  // namespace

// The shown child windows' objects as a screen reader gets them through oleacc, in z-order:
// "name|role|description|value|label" per child, where label is the name the system's own object
// gives when the window does not answer for itself. With `press`, does the default action of the
// one named so instead.
int Names(const wchar_t* press) {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window");
  if (FAILED(CoInitialize(nullptr))) return Fail("no COM");
  int pressed = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    IAccessible* object = nullptr;
    const HRESULT got = AccessibleObjectFromWindow(child, static_cast<DWORD>(OBJID_CLIENT),
                                                   __uuidof(IAccessible), reinterpret_cast<void**>(&object));
    if (FAILED(got) || object == nullptr) {
      std::printf("?|no object (0x%08lx)\n", static_cast<unsigned long>(got));
      continue;
    }
    const std::wstring name = AccText(object, &IAccessible::get_accName);
    if (press != nullptr) {
      VARIANT self{};
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      if (name == press && SUCCEEDED(object->accDoDefaultAction(self))) ++pressed;
      object->Release();
      continue;
    }
    IAccessible* standard = nullptr;
    std::wstring label;
    if (SUCCEEDED(CreateStdAccessibleObject(child, OBJID_CLIENT, __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&standard)))) {
      label = AccText(standard, &IAccessible::get_accName);
      standard->Release();
    }
    PrintLine(name + L"|" + std::to_wstring(AccRole(object)) + L"|" +
              AccText(object, &IAccessible::get_accDescription) + L"|" +
              AccText(object, &IAccessible::get_accValue) + L"|" + label);
    object->Release();
  }
  CoUninitialize();
  return press == nullptr || pressed == 1 ? 0 : Fail("nothing pressed by that name");
}

// Prints "ready" once it listens, then waits until a client object of the window tells a reader
// its name changed to TEXT (EVENT_OBJECT_NAMECHANGE, the name read back through oleacc).
int AwaitName(const wchar_t* text) {
  const HWND window = MainWindow();
  if (window == nullptr) return Fail("no window");
  if (FAILED(CoInitialize(nullptr))) return Fail("no COM");
  awaited = text;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
      [](HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
        // A reader follows the client object; the system's own change event names the frame.
        IAccessible* source = nullptr;
        VARIANT id{};
        if (hwnd == nullptr || object != OBJID_CLIENT ||
            FAILED(AccessibleObjectFromEvent(hwnd, object, child, &source, &id)))
          return;
        BSTR name = nullptr;
        heard = heard ||
                (SUCCEEDED(source->get_accName(id, &name)) && name != nullptr && wcscmp(name, awaited) == 0);
        SysFreeString(name);
        source->Release();
      },
      process, 0, WINEVENT_OUTOFCONTEXT);
  if (hook == nullptr) return Fail("no event hook");
  std::printf("ready\n");
  std::fflush(stdout);
  for (int waited = 0; !heard && waited < 300000; waited += 50) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(50);
  }
  UnhookWinEvent(hook);
  CoUninitialize();
  if (!heard) return Fail("no such name change");
  std::printf("heard\n");
  return 0;
}

}  // namespace probe
