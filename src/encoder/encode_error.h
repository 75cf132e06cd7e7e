// The one kind of failure that ends a run; kept free of FFmpeg so the platform seam can use it.
#pragma once

#include <stdexcept>
#include <string>

namespace conv {

// The user sees "Error: <path>: <reason>".
class EncodeError : public std::runtime_error {
 public:
  EncodeError(std::string path, const std::string& reason)
      : std::runtime_error(reason), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace conv
