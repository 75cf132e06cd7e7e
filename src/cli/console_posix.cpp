#include "cli/console.h"

namespace vintrel::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

// Terminals take UTF-8 as it is.
void PrepareConsole() {}

}  // namespace vintrel::cli
