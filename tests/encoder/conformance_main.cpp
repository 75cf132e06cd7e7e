// conv_conformance FILE [RATE [dropped|kept]]: prints one line per rule, "rule ok", "rule broken:
// why" or "rule n/a"; exit status 0 when nothing is broken. For bench/conformance.sh.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "conformance_reader.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: conv_conformance FILE [RATE [dropped|kept]]\n");
    return 2;
  }
  convtest::ConformanceOptions options;
  if (argc > 2) options.frameRate = std::atof(argv[2]);
  if (argc > 3) options.framesDropped = std::string(argv[3]) == "dropped";
  const convtest::ConformanceReport report = convtest::CheckConformanceOf(argv[1], options);
  for (const std::string& rule : convtest::AllRules()) {
    std::string line = rule + " n/a";
    for (const std::string& checked : report.checked)
      if (checked == rule) line = rule + " ok";
    for (const convtest::Finding& finding : report.broken)
      if (finding.rule == rule) line = rule + " broken: " + finding.detail;
    std::printf("%s\n", line.c_str());
  }
  return report.broken.empty() ? 0 : 1;
}
