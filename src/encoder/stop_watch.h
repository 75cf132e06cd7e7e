// What the pending output and the stop watcher share: creating, naming and removing the output
// are each one step against a stop request, so a request never removes a complete file nor
// leaves a partial one. Only the platform files use it.
#pragma once

#include <mutex>
#include <string>

namespace conv::platform::stop_watch {

#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// Held for each step; the stop watcher takes it for good before it acts.
std::mutex& Guard();
// Under Guard(): the name a stop request removes. A name too long to keep is never armed: it
// could not have been created.
void Arm(const NativePath& path);
// Under Guard(): no name to remove any more.
void Disarm();
// Under Guard(): the output has its final name, so a stop request ends the process quietly
// with status 0.
void MarkCommitted();

}  // namespace conv::platform::stop_watch
