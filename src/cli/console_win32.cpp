#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>

#include "base/wide_text_win32.h"
#include "cli/console.h"

namespace vintrel::cli {
namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t** block) const { LocalFree(block); }
};

// Bytes of `text` up to the last complete UTF-8 character.
std::size_t CompleteUtf8Length(const std::string& text) {
  std::size_t end = text.size();
  std::size_t back = 0;
  while (back < 4 && back < end && (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80) ++back;
  if (back == end) return end;
  const auto lead = static_cast<unsigned char>(text[end - 1 - back]);
  const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return need > back + 1 ? end - 1 - back : end;
}

// A stream buffer that writes UTF-8 text to a console as UTF-16, so every character shows
// whatever the console's code page.
class ConsoleBuffer : public std::streambuf {
 public:
  ConsoleBuffer(std::ostream& stream, HANDLE console, bool terminalSequences)
      : stream_(stream), console_(console), terminalSequences_(terminalSequences) {
    previous_ = stream_.rdbuf(this);
  }
  ~ConsoleBuffer() override {
    sync();
    stream_.rdbuf(previous_);
  }
  ConsoleBuffer(const ConsoleBuffer&) = delete;
  ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_.push_back(traits_type::to_char_type(c));
    if (pending_.size() >= 4096) sync();
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.size() >= 4096) sync();
    return count;
  }
  int sync() override {
    const std::size_t complete = CompleteUtf8Length(pending_);
    std::string text = pending_.substr(0, complete);
    pending_.erase(0, complete);
    // Consoles without terminal sequences would print the line eraser as it is.
    if (!terminalSequences_) {
      for (auto at = text.find("\033[K"); at != std::string::npos; at = text.find("\033[K", at))
        text.erase(at, 3);
    }
    std::wstring wide = WideForDisplay(text);
    while (!wide.empty()) {
      DWORD written = 0;
      if (!WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) ||
          written == 0) {
        return -1;
      }
      wide.erase(0, written);
    }
    return 0;
  }

 private:
  std::ostream& stream_;
  std::streambuf* previous_ = nullptr;
  HANDLE console_;
  bool terminalSequences_;
  std::string pending_;
};

// Only a real console window answers GetConsoleMode; files and pipes keep plain bytes.
std::unique_ptr<ConsoleBuffer> ConsoleFor(std::ostream& stream, DWORD which) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  const bool sequences = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  stream.flush();
  return std::make_unique<ConsoleBuffer>(stream, handle, sequences);
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // The narrow arguments are in the ANSI code page and lose every character it lacks.
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    // A lone surrogate has no UTF-8 form: such an argument names no file that can be opened, and
    // stays visible in the error with U+FFFD in its place.
    const std::wstring_view argument = wide.get()[i];
    std::optional<std::string> text = Utf8FromWide(argument);
    if (!text) {
      const int length = static_cast<int>(argument.size());
      text.emplace(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, argument.data(), length, nullptr,
                                                                0, nullptr, nullptr)),
                   '\0');
      WideCharToMultiByte(CP_UTF8, 0, argument.data(), length, text->data(), static_cast<int>(text->size()),
                          nullptr, nullptr);
    }
    arguments.push_back(std::move(*text));
  }
  return arguments;
}

void PrepareConsole() {
  // Static so they outlive every write of the program; each gives its stream back on exit.
  static const std::unique_ptr<ConsoleBuffer> out = ConsoleFor(std::cout, STD_OUTPUT_HANDLE);
  static const std::unique_ptr<ConsoleBuffer> err = ConsoleFor(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace vintrel::cli
