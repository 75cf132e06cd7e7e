#include "console.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform.h"

namespace conv::console {
namespace {

std::timed_mutex gMutex;
bool gStdoutBroken = false;
bool gStderrBroken = false;

bool gUnheard = false;

void WriteLocked(std::FILE* stream, bool& broken, const std::string& text) {
  if (broken) return;
  if (std::fputs(text.c_str(), stream) < 0 || std::fflush(stream) != 0) {
    const int error = errno;
    broken = true;
    std::clearerr(stream);
    // Work nobody will hear of is wasted, and the caller that left expects nothing to remain.
    if (platform::ReaderGone(error) && !gUnheard) {
      gUnheard = true;
      platform::StopUnheard();
    }
  }
}

// A damaged stream can make a decoder say the same thing millions of times: the same line
// again is counted instead of printed.
std::string gLastLog;
int64_t gLogRepeats = 0;

void FlushRepeatsLocked() {
  if (gLogRepeats == 0) return;
  WriteLocked(stderr, gStderrBroken, "    Last message repeated " + std::to_string(gLogRepeats) + " times\n");
  gLogRepeats = 0;
}

void LogCallback(void* avcl, int level, const char* format, va_list args) {
  if (level > av_log_get_level()) return;
  char line[1024];
  int printPrefix = 1;
  av_log_format_line2(avcl, level, format, args, line, sizeof line, &printPrefix);
  std::lock_guard lock(gMutex);
  if (gLastLog == line) {
    ++gLogRepeats;
    return;
  }
  FlushRepeatsLocked();
  gLastLog = line;
  WriteLocked(stderr, gStderrBroken, line);
}

}  // namespace

void Silence() {
  // Held until the process ends, so no line can follow the closing one. A writer stuck on a
  // stalled reader must not keep a signal from ending the encoder: give up waiting after a while.
  (void)gMutex.try_lock_for(std::chrono::milliseconds(500));
}

bool Unheard() {
  std::lock_guard lock(gMutex);
  return gUnheard;
}

void Install() {
  av_log_set_level(AV_LOG_ERROR);
  av_log_set_callback(LogCallback);
}

void Line(const std::string& text) {
  std::lock_guard lock(gMutex);
  FlushRepeatsLocked();
  gLastLog.clear();
  WriteLocked(stdout, gStdoutBroken, text + "\n");
}

void ErrorLine(const std::string& text) {
  std::lock_guard lock(gMutex);
  FlushRepeatsLocked();
  if (!gStdoutBroken && std::fflush(stdout) != 0) gStdoutBroken = true;
  WriteLocked(stderr, gStderrBroken, text + "\n");
}

std::string Clock(double seconds) {
  int64_t centis = std::llround(std::max(0.0, seconds) * 100);
  char text[48];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02d:%02d.%02d", centis / 360000,
                static_cast<int>(centis / 6000 % 60), static_cast<int>(centis / 100 % 60),
                static_cast<int>(centis % 100));
  return text;
}

std::string ProgressLine(const ProgressFigures& p) {
  double kbits = p.seconds > 0 ? p.bytes * 8.0 / 1000.0 / p.seconds : 0.0;
  double speed = p.wallSeconds > 0 ? p.seconds / p.wallSeconds : 0.0;
  char text[160];
  std::snprintf(text, sizeof text,
                "frame=%5" PRId64 " fps=%3.0f size=%8" PRId64 "kB time=%.2f bitrate=%6.1fkbits/s speed=%.3gx",
                p.frames, p.fps, (p.bytes + 1023) / 1024, p.seconds, kbits, speed);
  return text;
}

}  // namespace conv::console
