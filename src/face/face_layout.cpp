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

}  // namespace vintrel::face
