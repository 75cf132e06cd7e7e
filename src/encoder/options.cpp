#include "options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "levels/phone_levels.h"

namespace conv {
namespace {

constexpr std::array<int, 8> kAmrModes{4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr double kMaxFrameRate = 30.0;
constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;

std::optional<double> ParseDecimal(std::string_view text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> ParseWhole(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-') {
    return std::nullopt;
  }
  return value;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

std::optional<long> ParseBitrate(const std::string& text) {
  std::string_view digits = text;
  double scale = 1;
  if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K')) {
    scale = 1e3;
    digits.remove_suffix(1);
  } else if (!digits.empty() && digits.back() == 'M') {
    scale = 1e6;
    digits.remove_suffix(1);
  }
  auto value = ParseDecimal(digits);
  if (!value || *value <= 0 || *value * scale > 1e9) return std::nullopt;
  return std::lround(*value * scale);
}

std::optional<Rational> ParseFrameRate(const std::string& text) {
  if (auto slash = text.find('/'); slash != std::string::npos) {
    auto num = ParseWhole(std::string_view(text).substr(0, slash));
    auto den = ParseWhole(std::string_view(text).substr(slash + 1));
    if (!num || !den || *num <= 0 || *den <= 0 || *num > kMaxFrameRate * *den) return std::nullopt;
    int g = std::gcd(*num, *den);
    return Rational{*num / g, *den / g};
  }
  auto value = ParseDecimal(text);
  if (!value || *value <= 0 || *value > kMaxFrameRate + 1e-9) return std::nullopt;
  double whole = std::round(*value);
  // A rate that rounds to no frames at all is refused below, not taken as 0 fps.
  if (whole >= 1 && std::fabs(*value - whole) < 1e-6) return Rational{static_cast<int>(whole), 1};
  // The NTSC family (14.985, 23.976, 29.97) is N*1000/1001; the window writes them rounded.
  double ntsc = std::round(*value * 1.001);
  if (ntsc >= 1 && std::fabs(*value - ntsc * 1000 / 1001) < 0.002) {
    return Rational{static_cast<int>(ntsc) * 1000, 1001};
  }
  for (int den = 2; den <= 1000; ++den) {
    double num = std::round(*value * den);
    if (num >= 1 && std::fabs(*value * den - num) < 1e-6 * den) {
      int n = static_cast<int>(num);
      int g = std::gcd(n, den);
      return Rational{n / g, den / g};
    }
  }
  int n = static_cast<int>(std::lround(*value * 1000));
  if (n <= 0) return std::nullopt;
  int g = std::gcd(n, 1000);
  return Rational{n / g, 1000 / g};
}

std::optional<std::pair<int, int>> ParseFrameSize(const std::string& text) {
  if (text == "sqcif") return std::pair{128, 96};
  if (text == "qcif") return std::pair{176, 144};
  if (text == "cif") return std::pair{352, 288};
  auto x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  auto w = ParseWhole(std::string_view(text).substr(0, x));
  auto h = ParseWhole(std::string_view(text).substr(x + 1));
  if (!w || !h) return std::nullopt;
  // 4:2:0 video needs even sides.
  if (*w < kMinSide || *h < kMinSide || *w > kMaxSide || *h > kMaxSide || *w % 2 || *h % 2) {
    return std::nullopt;
  }
  return std::pair{*w, *h};
}

int NearestAmrMode(double bitsPerSecond) {
  int best = kAmrModes[0];
  for (int mode : kAmrModes) {
    if (std::fabs(mode - bitsPerSecond) < std::fabs(best - bitsPerSecond)) best = mode;
  }
  return best;
}

bool IsH263Size(int width, int height) {
  return vintrel::levels::CodecFor(width, height) == vintrel::levels::Codec::H263;
}

namespace {

// Reads one option's value into `options`: the reason it is refused, or nothing.
using ValueReader = std::optional<std::string> (*)(const std::string& value, EncodeOptions& options);

struct ValuedOption {
  std::string_view name;
  ValueReader read;
};

std::optional<std::string> ReadSource(const std::string& value, EncodeOptions& options) {
  if (value.empty()) return "the source file name is empty";
  options.input = value;
  return std::nullopt;
}

std::optional<std::string> ReadVideoBitrate(const std::string& value, EncodeOptions& options) {
  auto rate = ParseBitrate(value);
  if (!rate || *rate < 1000) return "the video bitrate must be a number of at least 1k, like 120k";
  options.videoBitrate = *rate;
  return std::nullopt;
}

std::optional<std::string> ReadFrameRate(const std::string& value, EncodeOptions& options) {
  auto rate = ParseFrameRate(value);
  if (!rate) return "the frame rate must be a number above 0 and at most 30, like 14.985";
  options.frameRate = *rate;
  return std::nullopt;
}

std::optional<std::string> ReadFrameSize(const std::string& value, EncodeOptions& options) {
  auto size = ParseFrameSize(value);
  if (!size) return "the frame size must be WxH with even sides from 16 to 4096, like 176x144";
  options.width = size->first;
  options.height = size->second;
  return std::nullopt;
}

// The audio options name the one format written; any other value is refused, not ignored.
std::optional<std::string> ReadAudioCodec(const std::string& value, EncodeOptions&) {
  if (value != "libamr_nb" && value != "libopencore_amrnb" && value != "amr_nb") {
    return "only AMR narrow-band audio (libamr_nb) can be written";
  }
  return std::nullopt;
}

std::optional<std::string> ReadSampleRate(const std::string& value, EncodeOptions&) {
  if (value != "8000") return "AMR narrow-band audio is always sampled at 8000 Hz";
  return std::nullopt;
}

std::optional<std::string> ReadChannels(const std::string& value, EncodeOptions&) {
  if (value != "1") return "AMR narrow-band audio always has 1 channel";
  return std::nullopt;
}

std::optional<std::string> ReadAudioBitrate(const std::string& value, EncodeOptions& options) {
  auto rate = ParseBitrate(value);
  if (!rate || *rate < kAmrModes.front() || *rate > kAmrModes.back()) {
    return "the audio bitrate must lie between 4.75k and 12.2k";
  }
  options.audioBitrate = NearestAmrMode(static_cast<double>(*rate));
  return std::nullopt;
}

constexpr std::array<ValuedOption, 8> kValuedOptions{{
    {"-i", ReadSource},
    {"-b", ReadVideoBitrate},
    {"-r", ReadFrameRate},
    {"-s", ReadFrameSize},
    {"-acodec", ReadAudioCodec},
    {"-ar", ReadSampleRate},
    {"-ac", ReadChannels},
    {"-ab", ReadAudioBitrate},
}};

// Nothing when `arg` names no option that takes a value; else its place in kValuedOptions.
std::optional<size_t> ValuedSlot(const std::string& arg) {
  for (size_t slot = 0; slot < kValuedOptions.size(); ++slot) {
    if (kValuedOptions[slot].name == arg) return slot;
  }
  return std::nullopt;
}

// Whatever is not an option is the output, which is given once and names a file.
std::optional<std::string> TakeOutput(const std::string& arg, EncodeOptions& options) {
  if (!options.output.empty()) return "more than one output file: " + Quoted(arg);
  if (arg.empty()) return "the output file name is empty";
  if (arg == "-") return "writing to standard output is not supported; give an output file";
  options.output = arg;
  return std::nullopt;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  EncodeOptions options;
  std::array<bool, kValuedOptions.size()> seen{};
  auto fail = [](std::string why) { return ParseResult{std::nullopt, std::move(why)}; };
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (auto why = TakeOutput(arg, options)) return fail(*why);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help" || arg == "-help") {
      options.help = true;
      return ParseResult{options, {}};
    } else if (arg == "-y") {
      options.overwrite = true;
    } else {
      const std::optional<size_t> slot = ValuedSlot(arg);
      if (!slot) return fail("unknown option " + arg + " (see -h)");
      if (i + 1 >= args.size()) return fail("option " + arg + " needs a value");
      if (seen[*slot]) return fail("option " + arg + " is given twice");
      seen[*slot] = true;
      const std::string& value = args[++i];
      if (auto why = kValuedOptions[*slot].read(value, options))
        return fail("option " + arg + " " + Quoted(value) + ": " + *why);
    }
  }
  if (options.input.empty()) return fail("no source file given (-i SOURCE)");
  if (options.output.empty()) return fail("no output file given (the last argument)");
  return ParseResult{options, {}};
}

std::string UsageText() {
  return "Usage: conv.exe -i SOURCE [options] OUTPUT.3gp\n"
         "Converts a video file into 3GP (H.263 or MPEG-4 video, AMR narrow-band audio).\n"
         "\n"
         "  -i SOURCE         the file to convert (the next argument, whatever it looks like)\n"
         "  -b RATE           video bitrate, e.g. 120k (default 120k)\n"
         "  -r FPS            frame rate, e.g. 14.985, 25.0 or 30000/1001 (default 14.985)\n"
         "  -s WxH            frame size, e.g. 176x144 (default); 128x96, 176x144 and 352x288\n"
         "                    are written as H.263, other sizes as MPEG-4 Part 2\n"
         "  -acodec libamr_nb audio codec (the only one)\n"
         "  -ar 8000          audio sample rate (the only one)\n"
         "  -ac 1             audio channels (the only one)\n"
         "  -ab RATE          audio bitrate, 4.75k to 12.2k; the nearest AMR mode is used\n"
         "  -y                replace OUTPUT if it exists (without -y an existing OUTPUT is refused)\n"
         "  -h, --help        this text\n"
         "\n"
         "The picture keeps its shape inside the frame (black bars where needed).\n"
         "OUTPUT appears only when it is complete. Exit status 0 means it was written.\n";
}

}  // namespace conv
