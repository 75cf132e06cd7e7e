#pragma once

#include <windows.h>

#include <string>

// What a screen reader is told of a child window beyond what the system's own object for its
// class knows: the face's caption for a control whose text is a value or nothing, the role of an
// owner-drawn button, its tool tip, its press and the bar's percentage. Empty or zero: the
// system's own answer.
struct AccessFacts {
  std::wstring name;
  long role = 0;
  std::wstring description;
  bool press = false;        // the default action clicks it (BM_CLICK, posted)
  bool percent = false;      // the value is a progress bar's position, "N%"
  bool textIsValue = false;  // the window's text, displaced as name, is the value where the system gives none
};

// The answer to WM_GETOBJECT for the client object of `window`: an object that gives `facts` and
// leaves the rest to the system's standard one. 0 when the request is for another object or the
// system refused (the caller then leaves the message to the default handling).
LRESULT AnswerAccessRequest(HWND window, WPARAM wParam, LPARAM lParam, const AccessFacts& facts);
