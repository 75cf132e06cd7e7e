#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/pickers.h"

namespace vintrel::cli {

// What the command line asked for. Settings left unset come from setup.ini, as in the window.
struct CliOptions {
  PickerValues<std::optional<std::string>> pickers;
  std::optional<std::string> outputFolder;
  // Sets the running window's command box instead of converting.
  std::optional<std::string> commandBoxText;
  // Files converted at once; 0 means one per core. 1 is the window's way, one after another.
  int jobs = 1;
  bool dryRun = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> files;
};

struct ParsedArguments {
  CliOptions options;
  std::string error;  // bad usage: say why and exit 2
};

ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace vintrel::cli
