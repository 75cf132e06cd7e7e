#include "processes.h"

#include <cstdlib>

#include "temp_folder.h"

namespace vintrel::testing_support {

namespace fs = std::filesystem;

std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name) {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // "pid (comm) state ppid ...": the name may hold blanks, so read from the last ')'.
    const std::string stat = ReadFile(entry.path() / "stat");
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size()) continue;
    if (!name.empty() && stat.substr(open + 1, close - open - 1) != name) continue;
    if (std::atoi(stat.c_str() + close + 4) == parent) found.push_back(std::atoi(pid.c_str()));
  }
  return found;
}

bool HoldsFileIn(pid_t pid, const fs::path& folder) {
  std::error_code error;
  const std::string prefix = folder.string() + "/";
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code unreadable;
    if (fs::read_symlink(fd.path(), unreadable).string().starts_with(prefix)) return true;
  }
  return false;
}

}  // namespace vintrel::testing_support
