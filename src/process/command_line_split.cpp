#include "process/command_line_split.h"

#include <cstddef>

namespace vintrel {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

std::string ReadProgram(std::string_view text, std::size_t& pos) {
  std::string program;
  if (text[pos] == '"') {
    const std::size_t close = text.find('"', pos + 1);
    const std::size_t end = close == std::string_view::npos ? text.size() : close;
    program.assign(text.substr(pos + 1, end - pos - 1));
    // Whatever follows the closing quote starts the next argument, even without a blank.
    pos = close == std::string_view::npos ? text.size() : close + 1;
  } else {
    const std::size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    program.assign(text.substr(start, pos - start));
  }
  return program;
}

std::string ReadArgument(std::string_view text, std::size_t& pos) {
  std::string argument;
  bool quoted = false;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\\') {
      std::size_t run = 0;
      while (pos < text.size() && text[pos] == '\\') ++run, ++pos;
      if (pos < text.size() && text[pos] == '"') {
        argument.append(run / 2, '\\');
        if (run % 2 == 1) {
          argument.push_back('"');
          ++pos;
        }
      } else {
        argument.append(run, '\\');
      }
    } else if (c == '"') {
      if (quoted && pos + 1 < text.size() && text[pos + 1] == '"') {
        argument.push_back('"');
        pos += 2;
      } else {
        quoted = !quoted;
        ++pos;
      }
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      argument.push_back(c);
      ++pos;
    }
  }
  return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  const std::size_t nul = commandLine.find('\0');
  if (nul != std::string_view::npos) commandLine = commandLine.substr(0, nul);

  std::vector<std::string> tokens;
  std::size_t pos = 0;
  SkipBlanks(commandLine, pos);
  if (pos == commandLine.size()) return tokens;
  tokens.push_back(ReadProgram(commandLine, pos));
  for (;;) {
    SkipBlanks(commandLine, pos);
    if (pos == commandLine.size()) break;
    tokens.push_back(ReadArgument(commandLine, pos));
  }
  return tokens;
}

}  // namespace vintrel
