#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "edge_win32.h"
#include "platform.h"

namespace conv::platform {
namespace {

struct LocalFreer {
  void operator()(wchar_t** p) const { (void)LocalFree(p); }
};

}  // namespace

std::optional<std::vector<std::string>> Arguments(int, char**) {
  // The C runtime's argv is in the ANSI code page, which cannot hold every file name.
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) return std::nullopt;
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    std::optional<std::string> arg = win32::Utf8(wide.get()[i]);
    if (!arg) return std::nullopt;
    args.push_back(std::move(*arg));
  }
  return args;
}

}  // namespace conv::platform
