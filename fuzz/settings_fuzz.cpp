// setup.ini as anyone may have left it: any bytes, any length.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/pickers.h"
#include "app/settings.h"
#include "fuzz_check.h"

namespace {

bool InRange(const vintrel::StoredSettings& settings) {
  for (const vintrel::PickerRow& row : vintrel::kPickerRows) {
    const int index = settings.pickers[row.picker];
    if (index < 0 || static_cast<std::size_t>(index) >= row.items.size()) return false;
  }
  return true;
}

constexpr std::size_t kFields = vintrel::kPickerCount + 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vintrel::StoredSettings settings;
  vintrel::ParseSettings(text, settings);
  FUZZ_CHECK(InRange(settings));

  // What was read, saved and read again comes back the same, or the folder falls back.
  const std::string saved = vintrel::SerializeSettings(settings);
  std::size_t lines = 0;
  for (std::size_t at = saved.find("\r\n"); at != std::string::npos; at = saved.find("\r\n", at + 2)) ++lines;
  FUZZ_CHECK(saved.size() >= 2 && saved.ends_with("\r\n"));
  vintrel::StoredSettings reread{vintrel::PickerValues<int>{}, "left over"};
  vintrel::ParseSettings(saved, reread);
  if (vintrel::FolderFitsSettingsFile(settings.outputFolder)) {
    FUZZ_CHECK(reread == settings);
    // A line per field, unless the folder itself holds line breaks inside its quotes.
    if (settings.outputFolder.find_first_of("\r\n") == std::string::npos) FUZZ_CHECK(lines == kFields);
  } else {
    FUZZ_CHECK(reread.outputFolder.empty() && lines == kFields);
    reread.outputFolder = settings.outputFolder;
    FUZZ_CHECK(reread == settings);
  }
  return 0;
}
