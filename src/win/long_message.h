#pragma once

#include <windows.h>

#include <string>

// A message too long for a message box (a failure list of a long batch): a resizable window
// with the text in a scrolling read-only box, never larger than the work area, and, when there
// are details, a button that swaps the whole list in. Modal to `owner`; returns when closed.
void ShowLongMessage(HWND owner, const std::wstring& title, const std::wstring& text,
                     const std::wstring& details, UINT icon);

// Whether a text is too long for a message box to stay within the screen.
bool TooLongForMessageBox(const std::wstring& text);
