#include "app/settings_text.h"

namespace vintrel {

std::string FolderFromSettingsFile(std::string_view stored) {
  return std::string(stored);
}

std::string FolderForSettingsFile(std::string_view folder) {
  return std::string(folder);
}

}  // namespace vintrel
