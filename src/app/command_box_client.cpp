#include "app/command_box_client.h"

#include "app/platform.h"

namespace vintrel {

std::string CommandBoxSocketPath(const std::string& workingFolder) {
  return JoinPath(workingFolder, std::string(kCommandBoxSocketName));
}

std::string CommandBoxTextProblem(std::string_view text) {
  if (text.size() > kCommandBoxMaxText)
    return "the text is longer than " + std::to_string(kCommandBoxMaxText) + " bytes";
  if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    return "the text must be a single line";
  }
  return {};
}

}  // namespace vintrel
