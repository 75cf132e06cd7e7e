#pragma once

namespace vintrel::cli {

// The platform's way of asking a console program to stop (signals on POSIX, console control
// events on Windows), reduced to the POSIX signal number of the first request. A second
// request ends the program at once, even if the encoder does not stop.
void WatchInterrupts();
void StopWatchingInterrupts();
// SIGINT for Ctrl+C (and Ctrl+Break on Windows), SIGTERM for a termination request, SIGHUP for
// a closed terminal (POSIX), or 0.
int InterruptSignal();

}  // namespace vintrel::cli
