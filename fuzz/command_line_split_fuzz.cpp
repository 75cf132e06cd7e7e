// The POSIX runner's splitter: any text must split without harm, and every line the planner
// lets through must come apart into exactly the pieces that were put in.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/output_names.h"
#include "fuzz_check.h"
#include "process/command_line_split.h"

namespace {

void CheckAnyText(std::string_view text) {
  const std::vector<std::string> tokens = vintrel::SplitCommandLine(text);
  const std::string_view cText = text.substr(0, text.find('\0'));
  std::size_t total = 0;
  for (const std::string& token : tokens) {
    FUZZ_CHECK(token.find('\0') == std::string::npos);
    total += token.size();
  }
  // Splitting only drops or merges characters; it never makes any.
  FUZZ_CHECK(total <= cText.size());
  FUZZ_CHECK(tokens.size() <= cText.size());
  FUZZ_CHECK(tokens.empty() == (cText.find_first_not_of(" \t") == std::string_view::npos));
}

std::string PathText(FuzzedDataProvider& input) {
  std::string path = input.ConsumeRandomLengthString(200);
  path.erase(std::remove(path.begin(), path.end(), '\0'), path.end());
  return path;
}

void CheckRoundTrip(FuzzedDataProvider& input) {
  const vintrel::ConversionSettings settings = vintrel::ConversionSettingsFor(vintrel::StoredSettings{});
  const std::string encoder = PathText(input);
  const std::string source = PathText(input);
  const std::string output = PathText(input);
  if (!vintrel::QuotingProblem(source).empty() || !vintrel::QuotingProblem(output).empty() ||
      !vintrel::QuotingProblem(encoder).empty()) {
    return;
  }
  const std::string line = vintrel::BuildCommandLine(settings, source, output, encoder);
  const std::vector<std::string> expected{encoder,  "-i", source,    "-b",      "120k",      "-y",  "-r",
                                          "14.985", "-s", "176x144", "-acodec", "libamr_nb", "-ar", "8000",
                                          "-ac",    "1",  "-ab",     "5.15k",   output};
  FUZZ_CHECK(vintrel::SplitCommandLine(line) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckAnyText(std::string_view(reinterpret_cast<const char*>(data), size));
  FuzzedDataProvider input(data, size);
  CheckRoundTrip(input);
  return 0;
}
