#include <windows.h>

#include "app/command_box_client.h"
#include "base/wide_text_win32.h"

namespace vintrel {

std::string SendCommandBoxText(const std::string&, std::string_view text, int timeoutMs) {
  if (std::string problem = CommandBoxTextProblem(text); !problem.empty()) return problem;
  const std::optional<std::wstring> wide = WideFromUtf8(text);
  if (!wide) return "the text is not valid UTF-8";
  const std::wstring title = WideFromUtf8(kCommandBoxWindowTitle).value_or(std::wstring());
  // Other windows may carry the same title: the one with our box among its children counts.
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, title.c_str())) != nullptr) {
    HWND box = GetDlgItem(window, kCommandBoxControlId);
    if (box == nullptr) continue;
    DWORD_PTR result = 0;
    // The window applies the text later, so this returns at once unless it hangs.
    if (!SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide->c_str()),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, static_cast<UINT>(timeoutMs), &result)) {
      return "the Vintrel window does not answer";
    }
    return {};
  }
  return "no Vintrel window is running";
}

}  // namespace vintrel
