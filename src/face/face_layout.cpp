#include "face/face_layout.h"

#include <cmath>

namespace vintrel::face {

int TwipsToPixels(double twips, double scale) {
  return static_cast<int>(std::lround(twips * scale / 15.0));
}

Pixels ToPixels(Twips place, double scale) {
  return {TwipsToPixels(place.left, scale), TwipsToPixels(place.top, scale),
          TwipsToPixels(place.width, scale), TwipsToPixels(place.height, scale)};
}

double FittingPoints(double points, int available, const std::function<int(double points)>& measure) {
  while (points > 6.0 && measure(points) > available) points -= 0.25;
  return points;
}

double BarTwips(double twips) {
  if (!std::isfinite(twips) || twips < 0.0) return 0.0;
  return twips > kFullBarTwips ? kFullBarTwips : twips;
}

double BarPercent(double twips) {
  return 100.0 * BarTwips(twips) / kFullBarTwips;
}

namespace {
constexpr wchar_t kEllipsis[] = L"\u2026";

// The longest length from 0 to `most` whose `candidate` fits, the fit shrinking as it grows.
std::size_t LongestFitting(std::size_t most, const std::function<bool(std::size_t)>& fits) {
  std::size_t low = 0, high = most;
  while (low < high) {
    const std::size_t mid = (low + high + 1) / 2;
    if (fits(mid)) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return low;
}
}  // namespace

std::wstring ElideMiddle(const std::wstring& text, int width,
                         const std::function<int(const std::wstring&)>& measure) {
  if (measure(text) <= width) return text;
  const std::size_t cut = text.find_last_of(L"\\/");
  const std::wstring name = cut == std::wstring::npos ? text : text.substr(cut);
  if (measure(kEllipsis + name) <= width) {
    // The longest start of the path that fits before the name.
    const std::size_t keep = LongestFitting(text.size() - name.size(), [&](std::size_t length) {
      return measure(text.substr(0, length) + kEllipsis + name) <= width;
    });
    return text.substr(0, keep) + kEllipsis + name;
  }
  // Even the name is too long: as much of both of its ends as fits.
  const std::size_t keep = LongestFitting(text.size() / 2, [&](std::size_t length) {
    return measure(text.substr(0, length) + kEllipsis + text.substr(text.size() - length)) <= width;
  });
  return text.substr(0, keep) + kEllipsis + text.substr(text.size() - keep);
}

}  // namespace vintrel::face
