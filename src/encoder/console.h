// Console output. The reader is usually a pipe that may go away: every line is flushed at once.
// When the reader has gone the encoder stops (platform::StopUnheard); after any other failed
// write, further output is dropped while the encoding goes on.
#pragma once

#include <cstdint>
#include <string>

namespace conv::console {

// Routes FFmpeg's own messages (errors only) through the same guarded writer.
void Install();

void Line(const std::string& text);
// Whether a write found the reader gone, and so the process is being stopped.
bool Unheard();
// Stops all further console output for good; used just before the process ends on a signal.
void Silence();
// The closing failure line, on stderr after everything on stdout.
void ErrorLine(const std::string& text);

// "HH:MM:SS.xx"
std::string Clock(double seconds);

struct ProgressFigures {
  int64_t frames = 0;
  double fps = 0;
  int64_t bytes = 0;
  double seconds = 0;  // position reached in the output
  double wallSeconds = 0;
};
// "frame=  421 fps=104 size=     512kB time=28.05 bitrate= 149.5kbits/s speed=6.9x"
std::string ProgressLine(const ProgressFigures& p);

}  // namespace conv::console
