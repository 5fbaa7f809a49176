// Plain geometry values the core and the platform exchange: points, sizes and
// rectangles in AppKit's conventions (origin at the bottom left, y growing up).
#pragma once

namespace kestrovan::port {

struct Point {
  double x = 0;
  double y = 0;
};

struct Size {
  double width = 0;
  double height = 0;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return width < 0 ? x + width : x; }
  double minY() const { return height < 0 ? y + height : y; }
  double maxX() const { return width < 0 ? x : x + width; }
  double maxY() const { return height < 0 ? y : y + height; }
};

// Half-open containment, as CoreGraphics' CGRectContainsPoint: a point on the
// maximum X or maximum Y edge is outside, one on the minimum edges inside. An
// empty rectangle contains nothing.
inline bool rectContainsPoint(const Rect& rect, const Point& point) {
  if (rect.width == 0 || rect.height == 0) return false;
  return rect.minX() <= point.x && point.x < rect.maxX() && rect.minY() <= point.y &&
         point.y < rect.maxY();
}

}  // namespace kestrovan::port
