#pragma once

#include <windows.h>

#include <string>

// What the probe's commands share across its files.
namespace probe {

// The window titled Vintrel once it shows; nullptr when it does not come.
HWND MainWindow();
// Prints WHAT and gives the failing exit status.
int Fail(const char* what);
// A line of text as UTF-8, whatever the console's code page.
void PrintLine(const std::wstring& text);

// The window as a screen reader gets it (window_probe_reader.cpp).
int Names(const wchar_t* press);
int AwaitName(const wchar_t* text);

}  // namespace probe
