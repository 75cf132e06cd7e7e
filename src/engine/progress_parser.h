#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// What one piece of encoder output asks the display to show.
struct ProgressDisplay {
  std::string label;  // "32.2%", "100%"
  double fraction;    // of the bar: 0 .. 1, exactly 1 with "100%"
};

// Reads "Duration: " and "time=" out of the pieces of encoder output, one piece at a time.
class ProgressParser {
 public:
  // Handles one piece; returns the new display, or nothing when the piece changes nothing.
  std::optional<ProgressDisplay> Feed(std::string_view piece);

  std::int32_t CurrentDuration() const { return currentDuration_; }
  // Forgets the duration after a run, so the next file reads its own.
  void ResetDuration() { currentDuration_ = 0; }

 private:
  std::int32_t currentDuration_ = 0;
};

// The leading number of a text, read the way the time field is: an optional sign, digits with
// at most one point and an optional exponent; tabs and line feeds are skipped; 0 when none.
double LeadingNumber(std::string_view text);

// Shortest decimal text of a value with at most 15 significant digits ("29", "5.37634408602151").
std::string FormatSignificant15(double value);

}  // namespace vintrel
