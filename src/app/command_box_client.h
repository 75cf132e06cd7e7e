#pragma once

#include <string>
#include <string_view>

namespace vintrel {

// How another program reaches the window's command box.
// POSIX: a local socket in the per-user working folder; a sender writes the new text and a
// line feed. Windows: a hidden EDIT child of the window titled "Vintrel", found by its control
// id and set with WM_SETTEXT.
inline constexpr std::string_view kCommandBoxSocketName = "command-box";
// The socket's answer to each line, on a line of its own: taken (it may run later), or refused
// because the window already serves as many senders as it takes.
inline constexpr std::string_view kCommandBoxTakenAnswer = "ok";
inline constexpr std::string_view kCommandBoxBusyAnswer = "busy";
inline constexpr int kCommandBoxControlId = 0x7631;
inline constexpr std::string_view kCommandBoxWindowTitle = "Vintrel";
// A text is one line; anything longer than this is not a command.
inline constexpr std::size_t kCommandBoxMaxText = 4096;
// What one sender may hold of the window: a few lines per connection, each within a couple of
// seconds, and a few connections at once. Anything beyond is dropped, so idle or flooding
// senders cannot use up the window's descriptors or its attention.
inline constexpr int kCommandBoxLinesPerConnection = 8;
inline constexpr int kCommandBoxIdleMs = 2000;
inline constexpr int kCommandBoxConnections = 8;
// How long a sender waits for a window that does not answer (stopped, hung).
inline constexpr int kCommandBoxSendTimeoutMs = 5000;

std::string CommandBoxSocketPath(const std::string& workingFolder);

// Sets the running window's command box to `text`. Returns an empty string when the window
// said it took the text, else why it could not be ("the Vintrel window is busy").
std::string SendCommandBoxText(const std::string& workingFolder, std::string_view text,
                               int timeoutMs = kCommandBoxSendTimeoutMs);

// Why a text cannot travel as a command, or empty when it can.
std::string CommandBoxTextProblem(std::string_view text);

}  // namespace vintrel
