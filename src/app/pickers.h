#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

// The pickers, one row each: everything setup.ini, the encoder's command line, the CLI and both
// windows know of them. A new picker is a new Picker, a new items list and a new row.
namespace vintrel {

// In the order setup.ini keeps them, which is also the windows' Tab order and the CLI's.
enum class Picker { VideoBitrate, FrameSize, FrameRate, AudioBitrate };
inline constexpr std::size_t kPickerCount = 4;

constexpr std::size_t Index(Picker picker) {
  return static_cast<std::size_t>(picker);
}

// The fixed items. Their order is part of setup.ini's format.
inline constexpr std::array<std::string_view, 5> kVideoBitrates{"40", "80", "120", "256", "512"};
inline constexpr std::array<std::string_view, 4> kFrameSizes{"128x96", "160x120", "176x144", "352x288"};
inline constexpr std::array<std::string_view, 4> kFrameRates{"14.985", "23.975", "25.0", "29.97"};
inline constexpr std::array<std::string_view, 8> kAudioBitrates{"4.75k", "5.15k", "5.9k",  "6.7k",
                                                                "7.4k",  "7.95k", "10.2k", "12.2k"};

// The top left of the picker's combo box in twips; its arrow picture lies at the box's right end.
struct PickerPlace {
  int left = 0;
  int top = 0;
};

struct PickerRow {
  Picker picker;
  std::string_view name;     // of its controls in both windows: cmbVBR, picVBR
  std::string_view caption;  // painted above it on the skin; what a screen reader calls it
  std::string_view tip;
  std::span<const std::string_view> items;
  int defaultIndex;
  PickerPlace place;
  int commandSlot;                 // its turn among the pickers in the encoder's command line
  std::string_view fixedBefore;    // encoder options nobody picks, written just before its own
  std::string_view encoderOption;  // followed by the chosen text and the unit
  std::string_view unit;
  std::string_view cliFlag;
  std::string_view cliValueName;  // what the help calls the value
};

inline constexpr std::array<PickerRow, kPickerCount> kPickerRows{{
    {.picker = Picker::VideoBitrate,
     .name = "VBR",
     .caption = "Video Bitrate",
     .tip = "Video Bitrate",
     .items = kVideoBitrates,
     .defaultIndex = 2,  // "120"
     .place = {210, 3330},
     .commandSlot = 0,
     .fixedBefore = "",
     .encoderOption = "-b",
     .unit = "k",
     .cliFlag = "--video-bitrate",
     .cliValueName = "KBPS"},
    {.picker = Picker::FrameSize,
     .name = "Size",
     .caption = "Screen Size",
     .tip = "Screen size, Width X Height (Pixel)",
     .items = kFrameSizes,
     .defaultIndex = 2,  // "176x144"
     .place = {2340, 3330},
     .commandSlot = 2,
     .fixedBefore = "",
     .encoderOption = "-s",
     .unit = "",
     .cliFlag = "--size",
     .cliValueName = "WxH"},
    {.picker = Picker::FrameRate,
     .name = "FPS",
     .caption = "FPS",
     .tip = "Frames per second",
     .items = kFrameRates,
     .defaultIndex = 0,  // "14.985"
     .place = {210, 4020},
     .commandSlot = 1,
     .fixedBefore = "",
     .encoderOption = "-r",
     .unit = "",
     .cliFlag = "--fps",
     .cliValueName = "RATE"},
    {.picker = Picker::AudioBitrate,
     .name = "AB",
     .caption = "Audio Bitrate",
     .tip = "Audio Bitrate",
     .items = kAudioBitrates,
     .defaultIndex = 1,  // "5.15k"
     .place = {2340, 4020},
     .commandSlot = 3,
     .fixedBefore = "-acodec libamr_nb -ar 8000 -ac 1",
     .encoderOption = "-ab",
     .unit = "",
     .cliFlag = "--audio-bitrate",
     .cliValueName = "RATE"},
}};

constexpr const PickerRow& Row(Picker picker) {
  return kPickerRows[Index(picker)];
}

// The pickers in their command-line turns.
inline constexpr std::array<Picker, kPickerCount> kCommandOrder = [] {
  std::array<Picker, kPickerCount> order{};
  for (const PickerRow& row : kPickerRows) order[static_cast<std::size_t>(row.commandSlot)] = row.picker;
  return order;
}();

static_assert(
    [] {
      std::array<bool, kPickerCount> slotTaken{};
      for (std::size_t i = 0; i < kPickerCount; ++i) {
        const PickerRow& row = kPickerRows[i];
        if (Index(row.picker) != i || row.items.empty()) return false;
        if (row.defaultIndex < 0 || static_cast<std::size_t>(row.defaultIndex) >= row.items.size())
          return false;
        if (row.commandSlot < 0 || static_cast<std::size_t>(row.commandSlot) >= kPickerCount) return false;
        if (slotTaken[static_cast<std::size_t>(row.commandSlot)]) return false;
        slotTaken[static_cast<std::size_t>(row.commandSlot)] = true;
      }
      return true;
    }(),
    "rows in Picker order, defaults among the items, each command slot once");

// One value per picker, indexed by Picker.
template <typename T>
struct PickerValues {
  std::array<T, kPickerCount> values{};

  constexpr T& operator[](Picker picker) { return values[Index(picker)]; }
  constexpr const T& operator[](Picker picker) const { return values[Index(picker)]; }
  bool operator==(const PickerValues&) const = default;
};

inline constexpr PickerValues<int> kDefaultIndexes = [] {
  PickerValues<int> indexes;
  for (const PickerRow& row : kPickerRows) indexes[row.picker] = row.defaultIndex;
  return indexes;
}();

// The item at `index`, or the picker's default when the index is out of range.
constexpr std::string_view ItemOrDefault(Picker picker, int index) {
  const PickerRow& row = Row(picker);
  const bool inRange = index >= 0 && static_cast<std::size_t>(index) < row.items.size();
  return row.items[static_cast<std::size_t>(inRange ? index : row.defaultIndex)];
}

}  // namespace vintrel
