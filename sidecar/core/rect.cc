#include "core/rect.h"

#include <algorithm>

namespace kestrovan::sidecar {

bool rectContains(const Rect& zone, ScreenPoint point) {
  return zone.x <= point.x && point.x <= zone.x + zone.width && zone.y <= point.y &&
         point.y <= zone.y + zone.height;
}

Rect rectUnion(const Rect& a, const Rect& b) {
  const double left = std::min(a.x, b.x);
  const double bottom = std::min(a.y, b.y);
  const double right = std::max(a.x + a.width, b.x + b.width);
  const double top = std::max(a.y + a.height, b.y + b.height);
  return Rect{left, bottom, right - left, top - bottom};
}

}  // namespace kestrovan::sidecar
