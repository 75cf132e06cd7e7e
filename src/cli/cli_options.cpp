#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "app/command_box_client.h"
#include "app/pickers.h"

namespace vintrel::cli {

namespace {

// An option that takes a value; an empty choice list accepts any non-empty text.
struct ValueOption {
  std::string_view name;
  std::span<const std::string_view> choices;
  std::optional<Picker> picker;  // none: the output folder
};

constexpr std::array<ValueOption, kPickerCount + 1> kValueOptions = [] {
  std::array<ValueOption, kPickerCount + 1> options{};
  for (std::size_t i = 0; i < kPickerCount; ++i) {
    options[i] = {kPickerRows[i].cliFlag, kPickerRows[i].items, kPickerRows[i].picker};
  }
  options[kPickerCount] = {"--output", {}, std::nullopt};
  return options;
}();

std::optional<std::string>& Field(CliOptions& options, const ValueOption& option) {
  return option.picker ? options.pickers[*option.picker] : options.outputFolder;
}

std::string Joined(std::span<const std::string_view> choices, std::string_view between) {
  std::string text;
  for (std::string_view choice : choices) {
    if (!text.empty()) text += between;
    text += choice;
  }
  return text;
}

std::string CheckValue(const ValueOption& option, const std::string& value) {
  if (option.choices.empty()) {
    return value.empty() ? std::string(option.name) + " needs a non-empty value" : std::string();
  }
  if (std::find(option.choices.begin(), option.choices.end(), value) != option.choices.end()) return {};
  return "invalid value '" + value + "' for " + std::string(option.name) +
         " (valid: " + Joined(option.choices, ", ") + ")";
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; false when it is missing.
bool TakeValue(const std::vector<std::string>& arguments, std::size_t& i, std::string_view name,
               std::string& value) {
  if (arguments[i].size() > name.size()) {
    value = arguments[i].substr(name.size() + 1);
    return true;
  }
  if (i + 1 >= arguments.size()) return false;
  value = arguments[++i];
  return true;
}

// A whole number from 0 up; anything else (a sign, blanks, a fraction, too many digits) is refused.
std::string ParseJobs(const std::string& value, int& jobs) {
  constexpr int kMostJobs = 1024;
  const bool digits = !value.empty() && value.size() <= 4 &&
                      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoi(value) > kMostJobs) {
    return "invalid value '" + value + "' for --jobs (a whole number up to " + std::to_string(kMostJobs) +
           ", 0 for one per core)";
  }
  jobs = std::stoi(value);
  return {};
}

// "--dry-run=1" and the like: the name of the flag, which takes no value.
std::optional<std::string> FlagGivenAValue(std::string_view argument) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view name = argument.substr(0, equals);
  for (std::string_view flag : {"--dry-run", "--help", "--version"}) {
    if (name == flag) return std::string(flag);
  }
  return std::nullopt;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  CliOptions& options = parsed.options;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (onlyFiles || argument.size() < 2 || argument[0] != '-') {
      options.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyFiles = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--dry-run") {
      options.dryRun = true;
    } else if (const auto flag = FlagGivenAValue(argument)) {
      parsed.error = "option '" + *flag + "' takes no value";
      return parsed;
    } else if (argument == "--jobs" || argument.starts_with("--jobs=")) {
      std::string value;
      if (!TakeValue(arguments, i, "--jobs", value)) {
        parsed.error = "missing value for --jobs";
        return parsed;
      }
      if (parsed.error = ParseJobs(value, options.jobs); !parsed.error.empty()) return parsed;
    } else if (argument == "--command-box" || argument.starts_with("--command-box=")) {
      // Any text goes, an empty one or one that starts with "-" included.
      std::string value;
      if (!TakeValue(arguments, i, "--command-box", value)) {
        parsed.error = "missing value for --command-box";
        return parsed;
      }
      if (std::string problem = CommandBoxTextProblem(value); !problem.empty()) {
        parsed.error = "--command-box: " + problem;
        return parsed;
      }
      options.commandBoxText = std::move(value);
    } else {
      const std::size_t equals = argument.find('=');
      const std::string_view name = std::string_view(argument).substr(0, equals);
      const auto option = std::find_if(kValueOptions.begin(), kValueOptions.end(),
                                       [&](const ValueOption& o) { return o.name == name; });
      if (option == kValueOptions.end()) {
        parsed.error = "unknown option '" + std::string(name) + "'";
        return parsed;
      }
      std::string value;
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        parsed.error = "missing value for " + std::string(name);
        return parsed;
      }
      if (parsed.error = CheckValue(*option, value); !parsed.error.empty()) return parsed;
      Field(options, *option) = std::move(value);
    }
  }
  if (options.commandBoxText && !options.files.empty()) {
    parsed.error = "--command-box takes no files";
  } else if (!options.help && !options.version && !options.commandBoxText && options.files.empty()) {
    parsed.error = "no files given";
  }
  return parsed;
}

std::string UsageText() {
  std::string text =
      "Usage: vintrel-cli [options] FILE...\n"
      "Converts the files, in order, into 3GP for phones.\n"
      "\n"
      "Options (unset ones come from the window's saved settings):\n";
  for (const PickerRow& row : kPickerRows) {
    std::string usage = "  " + std::string(row.cliFlag) + " " + std::string(row.cliValueName);
    usage.resize(std::max<std::size_t>(usage.size() + 1, 25), ' ');
    text += usage + Joined(row.items, "|") + "\n";
  }
  return text +
         "  --output DIR           folder for the .3gp files\n"
         "  --jobs N               convert up to N files at once (default 1; 0: one per core);\n"
         "                         output names are still given in the order of the files\n"
         "  --dry-run              print each encoder command line, run nothing\n"
         "  --command-box TEXT     set the running window's command box to TEXT; a change runs\n"
         "                         the button its last character names: 0 Add, 1 Remove, 2 Convert\n"
         "  -h, --help             show this help\n"
         "  --version              show the version\n"
         "\n"
         "Exit status: 0 all converted, 1 some failed, 2 bad usage, 130 interrupted.\n";
}

}  // namespace vintrel::cli
