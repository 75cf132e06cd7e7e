#pragma once

// What the children of all runners share. The process groups of the children that runners have started and
// not yet reaped (POSIX: each child leads a group of its own, so a terminal's signals do not reach it). A
// console program whose signal handler ends the program passes the signal on here first, so no encoder is
// left running on its own.

namespace vintrel {

// Sends `signal` to every such group. Safe inside a signal handler.
void SignalChildGroups(int signal) noexcept;
// Inside a signal handler: waits at most `milliseconds` until every such child has ended,
// then ends the rest by force.
void AwaitChildGroups(int milliseconds) noexcept;

// How many children may run at once before the owner runs out of descriptors (POSIX: the
// open-file limit); at least 1.
int RunsTheDescriptorsAllow();

}  // namespace vintrel
