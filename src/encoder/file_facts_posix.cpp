#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform.h"

namespace conv::platform {

std::optional<FileFacts> LookAt(const std::string& path, std::string* reason) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (reason) *reason = std::strerror(errno);
    return std::nullopt;
  }
  FileFacts facts;
  facts.kind = S_ISREG(info.st_mode)   ? FileFacts::Kind::Regular
               : S_ISDIR(info.st_mode) ? FileFacts::Kind::Folder
                                       : FileFacts::Kind::Other;
  facts.size = static_cast<std::uint64_t>(info.st_size);
  facts.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return facts;
}

}  // namespace conv::platform
