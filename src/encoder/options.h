// The encoder's command line: ffmpeg-style options, checked strictly before any work starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace conv {

struct Rational {
  int num = 0;
  int den = 1;
  double Value() const { return static_cast<double>(num) / den; }
  bool operator==(const Rational&) const = default;
};

struct EncodeOptions {
  std::string input;
  std::string output;
  bool overwrite = false;
  long videoBitrate = 120000;  // bit/s
  Rational frameRate{15000, 1001};
  int width = 176;
  int height = 144;
  int audioBitrate = 5150;  // one of the AMR-NB modes, bit/s
  bool help = false;
};

struct ParseResult {
  std::optional<EncodeOptions> options;
  std::string error;  // set when options is empty
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

// Value parsers, exposed for their own tests. Each returns nothing for text it cannot honour.
std::optional<long> ParseBitrate(const std::string& text);
std::optional<Rational> ParseFrameRate(const std::string& text);
std::optional<std::pair<int, int>> ParseFrameSize(const std::string& text);
int NearestAmrMode(double bitsPerSecond);

// H.263 only knows five picture sizes; everything else goes to MPEG-4 Part 2.
bool IsH263Size(int width, int height);

}  // namespace conv
