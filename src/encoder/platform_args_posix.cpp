#include <algorithm>

#include "platform.h"

namespace conv::platform {

std::optional<std::vector<std::string>> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

}  // namespace conv::platform
