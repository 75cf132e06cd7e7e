#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// One window per user: a second launch hands its files to the window already running (by
// WM_COPYDATA) and ends. The window takes a hand-over only from a launch window whose process
// runs as the same user (its token's SID).
class SecondLaunch {
 public:
  SecondLaunch() = default;
  ~SecondLaunch();
  SecondLaunch(const SecondLaunch&) = delete;
  SecondLaunch& operator=(const SecondLaunch&) = delete;

  // Whether a window of this user already runs and took `files` (absolute paths); then this
  // launch is done. False means: be the window.
  bool HandOver(const std::vector<std::string>& files);

  // The files of a hand-over that reached `window`, when the message is one and comes from a
  // launch of this user; it then brings the window forward.
  static std::optional<std::vector<std::string>> Receive(HWND window, WPARAM wParam, LPARAM lParam);

  // The main window's class, which a second launch looks for.
  static const wchar_t* const kWindowClass;

 private:
  HANDLE mutex_ = nullptr;
};

// Absolute forms of the paths given on the command line; a path that cannot be made absolute
// is left out.
std::vector<std::string> AbsolutePaths(const std::vector<std::string>& paths);
