#include "unicode_data.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace vintrel::testing_support {
namespace {

constexpr const char* kFolder = "/usr/share/unicode/";

std::u32string CodePoints(const std::string& hex) {
  std::istringstream words(hex);
  std::u32string text;
  for (std::string word; words >> word;) text += static_cast<char32_t>(std::stoul(word, nullptr, 16));
  return text;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line.substr(0, line.find('#')));
  for (std::string field; std::getline(in, field, ';');) fields.push_back(field);
  return fields;
}

std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// "# NormalizationTest-15.0.0.txt" gives "15.0.0".
std::string VersionOf(const std::string& firstLine) {
  const auto dash = firstLine.rfind('-');
  const auto dot = firstLine.rfind(".txt");
  if (dash == std::string::npos || dot == std::string::npos || dot < dash) return {};
  return firstLine.substr(dash + 1, dot - dash - 1);
}

std::pair<int, int> MajorMinor(const std::string& version) {
  int major = 0;
  int minor = 0;
  char dot = 0;
  std::istringstream(version) >> major >> dot >> minor;
  return {major, minor};
}

std::string Unpacked(const std::string& bz2) {
#ifdef _WIN32
  (void)bz2;
  return {};
#else
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("bzcat '" + bz2 + "' 2>/dev/null").c_str(), "r"), pclose);
  std::string text;
  if (!pipe) return text;
  char buffer[65536];
  for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, got);
  return text;
#endif
}

}  // namespace

std::vector<CodePointMapping> NfkcCasefoldMappings(UnicodeFileVersion& version) {
  std::ifstream in(std::string(kFolder) + "DerivedNormalizationProps.txt");
  std::vector<CodePointMapping> mappings;
  std::string line;
  if (!std::getline(in, line)) return mappings;
  version.text = VersionOf(line);
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 3 || Trimmed(fields[1]) != "NFKC_CF") continue;
    const std::string span = Trimmed(fields[0]);
    const auto dots = span.find("..");
    const unsigned long first = std::stoul(span.substr(0, dots), nullptr, 16);
    const unsigned long last =
        dots == std::string::npos ? first : std::stoul(span.substr(dots + 2), nullptr, 16);
    for (unsigned long code = first; code <= last; ++code) {
      mappings.push_back({static_cast<char32_t>(code), CodePoints(fields[2])});
    }
  }
  return mappings;
}

std::vector<CaseFoldingRow> CaseFoldingRows(UnicodeFileVersion& version) {
  std::ifstream in(std::string(kFolder) + "CaseFolding.txt");
  std::vector<CaseFoldingRow> rows;
  std::string line;
  if (!std::getline(in, line)) return rows;
  version.text = VersionOf(line);
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 3 || Trimmed(fields[1]).size() != 1) continue;
    rows.push_back({static_cast<char32_t>(std::stoul(fields[0], nullptr, 16)), Trimmed(fields[1])[0],
                    CodePoints(fields[2])});
  }
  return rows;
}

std::vector<CharacterRow> CharacterRows(UnicodeFileVersion& version) {
  std::ifstream in(std::string(kFolder) + "UnicodeData.txt");
  std::vector<CharacterRow> rows;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 6 || fields[1].find(", First>") != std::string::npos ||
        fields[1].find(", Last>") != std::string::npos)
      continue;
    CharacterRow row;
    row.code = static_cast<char32_t>(std::stoul(fields[0], nullptr, 16));
    row.combiningClass = std::stoi(fields[3]);
    // A tag ("<compat>") marks a compatibility decomposition, which is not canonical.
    if (!fields[5].empty() && fields[5][0] != '<') row.canonical = CodePoints(fields[5]);
    rows.push_back(row);
  }
  // The file names no version of its own; DerivedAge.txt, from the same release, does.
  std::ifstream age(std::string(kFolder) + "DerivedAge.txt");
  std::string first;
  if (!rows.empty() && std::getline(age, first)) version.text = VersionOf(first);
  return rows;
}

std::vector<std::array<std::u32string, 5>> NormalizationTestRows(UnicodeFileVersion& version) {
  std::istringstream in(Unpacked(std::string(kFolder) + "NormalizationTest.txt.bz2"));
  std::vector<std::array<std::u32string, 5>> rows;
  std::string line;
  if (!std::getline(in, line)) return rows;
  version.text = VersionOf(line);
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '@') continue;
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 5) continue;
    std::array<std::u32string, 5> row;
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = CodePoints(fields[i]);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::pair<char32_t, char32_t>> AssignedBy(const std::string& version) {
  std::ifstream in(std::string(kFolder) + "DerivedAge.txt");
  std::vector<std::pair<char32_t, char32_t>> ranges;
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 2 || MajorMinor(Trimmed(fields[1])) > MajorMinor(version)) continue;
    const std::string span = Trimmed(fields[0]);
    const auto dots = span.find("..");
    const auto first = static_cast<char32_t>(std::stoul(span.substr(0, dots), nullptr, 16));
    ranges.emplace_back(first, dots == std::string::npos
                                   ? first
                                   : static_cast<char32_t>(std::stoul(span.substr(dots + 2), nullptr, 16)));
  }
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

bool Within(const std::vector<std::pair<char32_t, char32_t>>& ranges, const std::u32string& text) {
  return std::all_of(text.begin(), text.end(), [&](char32_t c) {
    auto after =
        std::upper_bound(ranges.begin(), ranges.end(), std::pair<char32_t, char32_t>(c, U'\U0010FFFF'));
    return after != ranges.begin() && c <= std::prev(after)->second;
  });
}

std::string Utf8(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace vintrel::testing_support
