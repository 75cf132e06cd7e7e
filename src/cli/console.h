#pragma once

#include <string>
#include <vector>

namespace vintrel::cli {

// The program's arguments (without its own name) as UTF-8, whatever the system's code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes std::cout and std::cerr show their UTF-8 text correctly on a console window; output
// into a file or a pipe stays UTF-8 bytes.
void PrepareConsole();

}  // namespace vintrel::cli
