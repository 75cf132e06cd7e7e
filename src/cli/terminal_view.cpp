#include "cli/terminal_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>

#include "base/utf8_path.h"
#include "cli/level_text.h"
#include "engine/command_line.h"

namespace vintrel::cli {

namespace {

constexpr int kBarCells = 24;
constexpr std::size_t kNameWidth = 32;

// Cuts a UTF-8 name to about `width` bytes without splitting a character.
std::string Shortened(const std::string& name, std::size_t width) {
  if (name.size() <= width) return name;
  std::size_t cut = width - 3;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut) + "...";
}

// How many bytes the well-formed UTF-8 character at the front takes; 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  }
  // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
  const auto second = static_cast<unsigned char>(text[1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  char escape[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    const std::size_t sequence = Utf8SequenceLength(text.substr(i));
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      safe += escape;
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F in UTF-8
      std::snprintf(escape, sizeof escape, "\\u%04x", next);
      safe += escape;
      ++i;
    } else if (sequence > 1) {
      safe.append(text.substr(i, sequence));
      i += sequence - 1;
    } else if (byte >= 0x80 && byte <= 0x9F) {
      // Outside a character these are the 8-bit controls (0x9B starts an escape sequence).
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      safe += escape;
    } else {
      safe += text[i];
    }
  }
  return safe;
}

TerminalView::TerminalView(ConversionSettings settings, std::size_t fileCount, bool live)
    : settings_(std::move(settings)), level_(LevelText(settings_)), fileCount_(fileCount), live_(live) {}

std::string TerminalView::ShortName(const std::string& source) {
  return Shortened(TerminalSafe(FileNameFromPath(source)), kNameWidth);
}

std::string TerminalView::Outcome(const FileResult& result, const std::string& level) {
  if (!result.converted) return TerminalSafe("FAILED: " + result.reason);
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(PathFromUtf8(result.output), error);
  // A converted file is there; should it vanish at once, the line still names its level.
  const std::string size = error ? std::string() : ", " + SizeText(bytes);
  return TerminalSafe("converted -> " + result.output + " (" + level + size + ")");
}

std::string TerminalView::FormatDuration(double seconds) {
  const long total = std::lround(std::max(0.0, seconds));
  const long hours = total / 3600;
  const long minutes = total / 60 % 60;
  const long secs = total % 60;
  char text[32];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
  }
  return text;
}

std::string TerminalView::ProgressLine(const std::string& prefix, double fraction, const std::string& label,
                                       double elapsedSeconds) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kBarCells);
  std::string line = prefix + "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "] ";
  line += std::string(std::max<int>(0, 6 - static_cast<int>(label.size())), ' ') + label;
  // Too early an estimate jumps about; wait for a little progress first.
  if (fraction >= 0.02 && fraction < 1.0) {
    line += "  ETA " + FormatDuration(elapsedSeconds * (1.0 - fraction) / fraction);
  } else {
    line += "  ETA --:--";
  }
  return line;
}

std::string TerminalView::Prefix() const {
  return "[" + std::to_string(fileIndex_) + "/" + std::to_string(fileCount_) + "] ";
}

void TerminalView::Redraw() {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - fileStart_).count();
  std::cout << '\r'
            << ProgressLine(Prefix() + Shortened(TerminalSafe(fileName_), kNameWidth) + "  ", fraction_,
                            label_, elapsed)
            << "\033[K" << std::flush;
}

void TerminalView::SetProgressLabel(const std::string& text) {
  label_ = text;
  if (live_ && fileIndex_ > 0 && !text.empty() && text.back() == '%') Redraw();
}

void TerminalView::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) {
  // The end-of-batch failure list: the summary prints it.
  if (title == "Convert" && icon == MessageIcon::Exclamation) return;
  std::cerr << "vintrel-cli: " << TerminalSafe(title) << ": " << TerminalSafe(text) << '\n';
}

void TerminalView::FileStarting(const std::string& source, const std::string& output) {
  ++fileIndex_;
  fileName_ = FileNameFromPath(source);
  fraction_ = 0;
  label_ = "0%";
  fileStart_ = std::chrono::steady_clock::now();
  if (live_) {
    Redraw();
  } else {
    std::cout << Prefix() << TerminalSafe(source) << " -> " << TerminalSafe(output) << std::endl;
  }
}

void TerminalView::FileFinished(const FileResult& result) {
  std::string line = Prefix();
  if (live_) line = "\r" + line + Shortened(TerminalSafe(fileName_), kNameWidth) + "  ";
  line += Outcome(result, level_);
  if (live_) line += "\033[K";
  std::cout << line << std::endl;
}

}  // namespace vintrel::cli
