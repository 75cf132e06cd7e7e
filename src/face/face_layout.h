#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "app/pickers.h"
#include "app/startup.h"

// What both windows (Qt and Win32) show and where, with no toolkit in sight: places in twips as
// the layout was drawn, the texts, fonts and colours of the controls, the skin's key colour.
namespace vintrel::face {

struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
struct Pixels {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Pixels&) const = default;
};

// 15 twips make a pixel at 96 dpi; `scale` is the display's density over 96 dpi.
int TwipsToPixels(double twips, double scale = 1.0);
Pixels ToPixels(Twips place, double scale = 1.0);

inline constexpr std::string_view kWindowTitle = "Vintrel";
inline constexpr int kClientWidth = 294;
inline constexpr int kClientHeight = 421;
inline constexpr double kFullBarTwips = 3960.0;

// The outline: every skin pixel of exactly this colour is cut away.
inline constexpr Rgb kKeyColour{255, 0, 255};
constexpr bool IsKeyColour(int red, int green, int blue) {
  return red == kKeyColour.red && green == kKeyColour.green && blue == kKeyColour.blue;
}
// Kept for compatibility: the alpha is given, but without LWA_ALPHA in the flags it is not applied.
inline constexpr int kLayeredAlpha = 250;
inline constexpr unsigned kLayeredFlags = 1;  // LWA_COLORKEY

// The three action buttons, by ActionIndex.
inline constexpr std::array<Twips, 3> kActionPlaces{
    {{170, 480, 1350, 450}, {1600, 480, 1290, 450}, {2950, 480, 1290, 450}}};
inline constexpr std::array<std::string_view, 3> kActionTips{
    "Add a new file", "Remove selected file from list", "Start converting now"};

inline constexpr Twips kVersionPlace{2370, 140, 1200, 210};
inline constexpr Twips kMinPlace{3780, 120, 195, 195};
inline constexpr Twips kExitPlace{4080, 120, 165, 195};
inline constexpr std::string_view kMinTip = "最小化";
inline constexpr std::string_view kExitTip = "退出";

inline constexpr Twips kListPlace{195, 1590, 4035, 1290};
inline constexpr int kFilenameColumnPixels = 176;
inline constexpr int kTypeColumnPixels = 93;
inline constexpr Twips kDropHintPlace{1110, 2070, 2085, 345};
// Inside the drop hint.
inline constexpr Twips kDropLabelPlace{0, 60, 2085, 255};
inline constexpr std::string_view kDropHintText = "Drag & Drop Files Here";
inline constexpr Rgb kDropHintColour{192, 192, 192};

// The pickers by Picker, each with the arrow picture that covers its combo box's arrow.
struct PickerControl {
  std::string_view name;  // cmbVBR / picVBR without the prefix
  Twips combo;
  Twips arrow;
  std::string_view tip;
};
inline constexpr std::array<PickerControl, kPickerCount> kPickers = [] {
  std::array<PickerControl, kPickerCount> pickers{};
  for (std::size_t i = 0; i < kPickerCount; ++i) {
    const PickerRow& row = kPickerRows[i];
    const PickerPlace at = row.place;
    pickers[i] = {row.name, {at.left, at.top, 1875, 330}, {at.left + 1590, at.top + 20, 265, 285}, row.tip};
  }
  return pickers;
}();

inline constexpr Twips kPathPlace{210, 4800, 3285, 300};
inline constexpr Twips kBrowsePlace{3570, 4785, 630, 330};
inline constexpr std::string_view kBrowseTip = "Browse and select a path to output";
inline constexpr std::string_view kFolderDialogTitle = "Please select a folder:";

inline constexpr Twips kBarPlace{240, 5570, 3960, 165};
inline constexpr Twips kPercentPlace{1440, 5555, 1545, 195};
inline constexpr std::string_view kInitialPercent = "0%";

inline constexpr std::string_view kFontFace = "Tahoma";
inline constexpr double kDefaultPoints = 9.0;
inline constexpr double kDropHintPoints = 9.0;  // bold
inline constexpr double kPercentPoints = 7.5;   // bold

// A substitute face may be wider than the one the layout was drawn with: the largest size, down
// from `points` in quarter points but not below 6, at which `measure` finds the text no wider
// than `available` pixels.
double FittingPoints(double points, int available, const std::function<int(double points)>& measure);

// The bar's width in twips, clamped to 0..kFullBarTwips; not-a-number counts as 0.
double BarTwips(double twips);
// How full the bar of `twips` is, 0 to 100, for a screen reader.
double BarPercent(double twips);

// `text` cut in the middle to be no wider than `width` as `measure` finds it: the folders give way
// first, then the middle of the file's name.
std::wstring ElideMiddle(const std::wstring& text, int width,
                         const std::function<int(const std::wstring&)>& measure);

}  // namespace vintrel::face
