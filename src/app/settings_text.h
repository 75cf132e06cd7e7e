#pragma once

#include <string>
#include <string_view>

namespace vintrel {

// The program keeps folder texts in UTF-8, while setup.ini files written by other tools on
// Windows hold them in the system's ANSI code page. On Windows a stored text that is not valid
// UTF-8 is read in the ANSI code page, and a folder is stored in the ANSI code page when that
// represents it and reads back unchanged, else in UTF-8. Other systems keep the bytes.
std::string FolderFromSettingsFile(std::string_view stored);
std::string FolderForSettingsFile(std::string_view folder);

}  // namespace vintrel
