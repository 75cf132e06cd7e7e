#include "engine/progress_parser.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace vintrel {
namespace {

constexpr std::string_view kDurationMarker = "Duration: ";
constexpr std::string_view kTimeMarker = "time=";

// Collects the values after every whole marker that starts early enough.
// Kept for compatibility: the last start position tried is the piece's length minus the marker's
// length, minus one, so a marker in the very last place is never seen; and the values after
// repeated markers are joined into one text ("time=1.0 time=2.0" reads "1.02.0").
std::string CollectAfterMarkers(std::string_view piece, std::string_view marker, bool& found,
                                bool foundOnMarker) {
  std::string text;
  if (piece.size() <= marker.size()) return text;
  const std::size_t lastStart = piece.size() - marker.size() - 1;
  for (std::size_t i = 0; i <= lastStart; ++i) {
    if (piece.compare(i, marker.size(), marker) != 0) continue;
    if (foundOnMarker) found = true;
    for (std::size_t j = i + marker.size(); j < piece.size() && piece[j] != ' '; ++j) {
      found = true;
      text += piece[j];
    }
  }
  return text;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double rest = value - floor;
  if (rest > 0.5) return floor + 1.0;
  if (rest < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// Rounds to 15 significant decimal digits through the decimal text itself.
double Reduce15(double value) {
  if (!std::isfinite(value) || value == 0.0) return value;
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  double reduced = value;
  std::from_chars(buffer, written.ptr, reduced, std::chars_format::scientific);
  return reduced;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// One field of a duration: digits with at most one point; commas are skipped and blanks or
// line ends around it are tolerated. Anything else makes the field unusable.
std::optional<double> ReadDurationField(std::string_view field) {
  std::string clean;
  for (char c : field) {
    if (c != ',') clean += c;
  }
  const auto first = clean.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::nullopt;
  const auto last = clean.find_last_not_of(" \t\r\n");
  const std::string_view number = std::string_view(clean).substr(first, last - first + 1);
  int points = 0;
  bool digits = false;
  for (char c : number) {
    if (c == '.') {
      ++points;
    } else if (IsDigit(c)) {
      digits = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digits || points > 1) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec != std::errc() || result.ptr != number.data() + number.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> ParseDuration(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (fields.size() < 3) {
    const auto colon = text.find(':', start);
    fields.push_back(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (fields.size() < 3) return std::nullopt;
  double total = 0;
  const double weights[3] = {3600.0, 60.0, 1.0};
  for (int k = 0; k < 3; ++k) {
    const auto value = ReadDurationField(fields[k]);
    if (!value) return std::nullopt;
    total += *value * weights[k];
  }
  total = RoundHalfEven(total);
  if (!(total <= std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  return static_cast<std::int32_t>(total);
}

}  // namespace

double LeadingNumber(std::string_view text) {
  // Tabs and line feeds are not part of the text as far as the number is concerned.
  std::string s;
  for (char c : text) {
    if (c != '\t' && c != '\n') s += c;
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::string mantissa;
  bool point = false;
  bool digits = false;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) {
      digits = true;
      mantissa += s[i];
    } else if (s[i] == '.' && !point) {
      point = true;
      mantissa += s[i];
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  if (mantissa.front() == '.') mantissa.insert(0, "0");
  if (mantissa.back() == '.') mantissa += '0';
  std::string exponent;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    std::string candidate = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) candidate += s[j++];
    const std::size_t digitsStart = j;
    while (j < s.size() && IsDigit(s[j])) candidate += s[j++];
    if (j > digitsStart) exponent = candidate;
  }
  const std::string number = mantissa + exponent;
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: the exponent's sign tells which.
    value = exponent.size() > 1 && exponent[1] == '-' ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

std::string FormatSignificant15(double value) {
  if (std::isnan(value)) return "0";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0.0) return "0";
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string_view sci(buffer, static_cast<std::size_t>(written.ptr - buffer));
  const std::size_t e = sci.find('e');
  const bool negative = sci.front() == '-';
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (IsDigit(c)) digits += c;
  }
  int exponent = 0;
  std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string plain;
  if (exponent < 0) {
    plain = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
    plain = digits + std::string(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
  } else {
    plain = digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
            digits.substr(static_cast<std::size_t>(exponent) + 1);
  }
  return negative ? "-" + plain : plain;
}

std::optional<ProgressDisplay> ProgressParser::Feed(std::string_view piece) {
  if (currentDuration_ == 0) {
    bool found = false;
    const std::string durationText = CollectAfterMarkers(piece, kDurationMarker, found, false);
    // A value cut by a piece boundary, or not a time at all, leaves the duration unread so
    // a later piece can still supply it.
    if (found) {
      if (const auto duration = ParseDuration(durationText)) currentDuration_ = *duration;
    }
  }

  bool timeFound = false;
  const std::string timeText = CollectAfterMarkers(piece, kTimeMarker, timeFound, true);
  if (!timeFound) return std::nullopt;
  // Without a duration there is nothing to divide by; the display keeps what it shows.
  if (currentDuration_ <= 0) return std::nullopt;

  const double time = RoundHalfEven(LeadingNumber(timeText));
  if (time <= 0.0) return ProgressDisplay{"0%", 0.0};
  const double fraction = Reduce15(time / currentDuration_);
  const double percentage = Reduce15(fraction * 100.0);
  if (percentage >= 100.0) return ProgressDisplay{"100%", 1.0};
  return ProgressDisplay{FormatSignificant15(percentage).substr(0, 4) + "%", fraction};
}

}  // namespace vintrel
