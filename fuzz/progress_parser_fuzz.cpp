// Encoder output in any bytes and any chunking, as the runner may cut it.
#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cmath>
#include <string>

#include "engine/progress_parser.h"
#include "fuzz_check.h"

namespace {

void CheckDisplay(const vintrel::ProgressDisplay& display) {
  const std::string& label = display.label;
  FUZZ_CHECK(label.size() >= 2 && label.size() <= 5 && label.back() == '%');
  FUZZ_CHECK(std::isfinite(display.fraction));
  FUZZ_CHECK(display.fraction >= 0.0 && display.fraction <= 1.0);
  FUZZ_CHECK((label == "100%") == (display.fraction == 1.0));

  // The label is the start of a plain decimal between 0 and 100.
  const std::string number = label.substr(0, label.size() - 1);
  double value = -1;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  FUZZ_CHECK(ec == std::errc() && value >= 0.0 && value <= 100.0);
  FUZZ_CHECK(end == number.data() + number.size() || *end == '.');
  if (display.fraction == 0.0) FUZZ_CHECK(value == 0.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  vintrel::ProgressParser parser;
  while (input.remaining_bytes() > 0) {
    // Control bytes come from the end of the input, so the text at its start stays readable.
    const size_t length = input.ConsumeIntegralInRange<size_t>(0, 1024);
    const bool nextFile = input.ConsumeIntegralInRange<int>(0, 15) == 0;
    const std::string piece = input.ConsumeBytesAsString(length);

    const vintrel::ProgressParser before = parser;
    const auto display = parser.Feed(piece);

    // The duration is the only state, read once per file, never negative.
    FUZZ_CHECK(parser.CurrentDuration() >= 0);
    if (before.CurrentDuration() != 0) FUZZ_CHECK(parser.CurrentDuration() == before.CurrentDuration());
    if (piece.find("time=") == std::string::npos) FUZZ_CHECK(!display);
    // Nothing to divide by: the display keeps what it shows.
    if (parser.CurrentDuration() == 0) FUZZ_CHECK(!display);
    if (display) CheckDisplay(*display);

    // Same duration, same piece, same answer: nothing else survives a piece.
    vintrel::ProgressParser again = before;
    const auto repeated = again.Feed(piece);
    FUZZ_CHECK(again.CurrentDuration() == parser.CurrentDuration());
    FUZZ_CHECK(repeated.has_value() == display.has_value());
    if (display) FUZZ_CHECK(repeated->label == display->label && repeated->fraction == display->fraction);

    if (nextFile) parser.ResetDuration();
  }
  return 0;
}
