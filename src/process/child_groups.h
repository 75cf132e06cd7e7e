#pragma once

// What the children of all runners share. The process groups of the children that runners have started and
// not yet reaped (POSIX: each child leads a group of its own, so a terminal's signals do not reach it). A
// console program whose signal handler ends the program passes the signal on here first, so no encoder is
// left running on its own. Everything but RunsTheDescriptorsAllow is POSIX only: Windows has no such
// groups. Implemented in child_groups_posix.cpp and child_groups_win32.cpp.

#ifndef _WIN32
#include <signal.h>
#include <sys/types.h>
#endif

namespace vintrel {

// How many children may run at once before the owner runs out of descriptors (POSIX: the
// open-file limit); at least 1.
int RunsTheDescriptorsAllow();

#ifndef _WIN32

// Sends `signal` to every such group. Safe inside a signal handler.
void SignalChildGroups(int signal) noexcept;
// Inside a signal handler: waits at most `milliseconds` until every such child has ended,
// then ends the rest by force.
void AwaitChildGroups(int milliseconds) noexcept;

// The runners' side. Held around a child's start and its registration: the signals that end or
// pause the owner wait on the starting thread (a handler running there would wait for itself),
// and SignalChildGroups waits for the starts under way, so no child escapes between its start
// and its registration.
class StartingChild {
 public:
  StartingChild();
  ~StartingChild();
  StartingChild(const StartingChild&) = delete;
  StartingChild& operator=(const StartingChild&) = delete;

 private:
  sigset_t previous_;
  bool held_ = false;
};

// A started child's group joins the registry, while its StartingChild is held. Beyond the
// registry's room (more than any --jobs asks for) the group is left out.
void RegisterChildGroup(pid_t pid);
// Once the child is reaped, so the number can be reused safely.
void UnregisterChildGroup(pid_t pid);

#endif

}  // namespace vintrel
