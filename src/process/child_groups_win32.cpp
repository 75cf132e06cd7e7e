#include <limits>

#include "process/child_groups.h"

namespace vintrel {

int RunsTheDescriptorsAllow() {
  // Handles have no per-process limit a batch could reach.
  return std::numeric_limits<int>::max();
}

}  // namespace vintrel
