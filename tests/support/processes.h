// A look at running processes through /proc (Linux), for tests that act while the encoder works.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vintrel::testing_support {

// Processes whose parent is `parent` and whose command name is `name` (any name when empty).
std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name);
// Whether the process holds a file in the folder open (also one without a name yet).
bool HoldsFileIn(pid_t pid, const std::filesystem::path& folder);

}  // namespace vintrel::testing_support
