// setup.ini as anyone may have left it: any bytes, any length.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/pickers.h"
#include "app/settings.h"
#include "fuzz_check.h"

namespace {

template <typename Items>
bool InRange(int index, const Items& items) {
  return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

bool SameSettings(const vintrel::StoredSettings& a, const vintrel::StoredSettings& b) {
  return a.videoBitrate == b.videoBitrate && a.frameSize == b.frameSize && a.frameRate == b.frameRate &&
         a.audioBitrate == b.audioBitrate && a.outputFolder == b.outputFolder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vintrel::StoredSettings settings;
  vintrel::ParseSettings(text, settings);
  FUZZ_CHECK(InRange(settings.videoBitrate, vintrel::kVideoBitrates));
  FUZZ_CHECK(InRange(settings.frameSize, vintrel::kFrameSizes));
  FUZZ_CHECK(InRange(settings.frameRate, vintrel::kFrameRates));
  FUZZ_CHECK(InRange(settings.audioBitrate, vintrel::kAudioBitrates));

  // What was read, saved and read again comes back the same, or the folder falls back.
  const std::string saved = vintrel::SerializeSettings(settings);
  std::size_t lines = 0;
  for (std::size_t at = saved.find("\r\n"); at != std::string::npos; at = saved.find("\r\n", at + 2)) ++lines;
  FUZZ_CHECK(saved.size() >= 2 && saved.ends_with("\r\n"));
  vintrel::StoredSettings reread{0, 0, 0, 0, "left over"};
  vintrel::ParseSettings(saved, reread);
  if (vintrel::FolderFitsSettingsFile(settings.outputFolder)) {
    FUZZ_CHECK(SameSettings(reread, settings));
    // Five lines, unless the folder itself holds line breaks inside its quotes.
    if (settings.outputFolder.find_first_of("\r\n") == std::string::npos) FUZZ_CHECK(lines == 5);
  } else {
    FUZZ_CHECK(reread.outputFolder.empty() && lines == 5);
    reread.outputFolder = settings.outputFolder;
    FUZZ_CHECK(SameSettings(reread, settings));
  }
  return 0;
}
