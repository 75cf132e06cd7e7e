// conv.exe's options: any argument list (NUL bytes separate the arguments) either gives
// options the encoder can honour or one reason.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "options.h"

namespace {

bool IsAmrMode(int rate) {
  for (int mode : {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200}) {
    if (rate == mode) return true;
  }
  return false;
}

void CheckOptions(const conv::EncodeOptions& options) {
  FUZZ_CHECK(!options.input.empty() && !options.output.empty());
  FUZZ_CHECK(options.output != "-");
  FUZZ_CHECK(options.width >= 16 && options.width <= 4096 && options.width % 2 == 0);
  FUZZ_CHECK(options.height >= 16 && options.height <= 4096 && options.height % 2 == 0);
  FUZZ_CHECK(options.frameRate.num > 0 && options.frameRate.den > 0);
  FUZZ_CHECK(options.frameRate.Value() <= 30.0 + 1e-6);
  FUZZ_CHECK(options.videoBitrate >= 1000 && options.videoBitrate <= 1000000000);
  FUZZ_CHECK(IsAmrMode(options.audioBitrate));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 0) args.push_back(current);

  const conv::ParseResult result = conv::ParseOptions(args);
  FUZZ_CHECK(result.options.has_value() == result.error.empty());
  if (result.options && !result.options->help) {
    CheckOptions(*result.options);
    // Both names are arguments as given, never pieces or joins of them.
    FUZZ_CHECK(std::find(args.begin(), args.end(), result.options->input) != args.end());
    FUZZ_CHECK(std::find(args.begin(), args.end(), result.options->output) != args.end());
    // -i takes the next argument whatever it looks like.
    if (args.size() >= 2 && args[0] == "-i") FUZZ_CHECK(result.options->input == args[1]);
  }
  return 0;
}
