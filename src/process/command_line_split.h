#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// Splits a command line the way Windows does, so the same text starts the same program with the
// same arguments on every platform. The program (first token) follows the CreateProcess rule:
// after an opening double quote it runs to the next double quote, otherwise to the first blank;
// backslashes in it are plain characters. The arguments follow the Microsoft C runtime rules:
// blanks (space, tab) separate them outside quotes; 2n backslashes before a double quote give n
// backslashes and the quote opens or closes a quoted part; 2n+1 backslashes before it give n
// backslashes and a literal quote; other backslashes are literal; inside a quoted part a doubled
// quote gives one literal quote. The text ends at its first NUL byte, as a C string would. Other
// bytes pass through unchanged. A text of blanks gives no tokens.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace vintrel
