// Rect: an axis-aligned rectangle in the global screen space the sidecar works
// in (points, origin at the lower-left corner of the primary display, y up).
//
// A Rect is a plain value. Nothing about it is validated or normalised: a zero
// or negative width or height stays as given, and so do infinities and NaNs.
// Use `rectContains` for the sidecar's edge-inclusive test and `rectUnion` for
// its min/max union; neither matches the platform's own rectangle functions
// (half-open containment, normalising union), on purpose.
#pragma once

namespace kestrovan::sidecar {

// A point in the same space as Rect.
struct ScreenPoint {
  double x = 0;
  double y = 0;

  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  friend bool operator==(const Rect&, const Rect&) = default;
};

// Whether `point` lies in `zone`, all four edges included. Every comparison is
// plain floating point, so a NaN anywhere makes the answer false.
bool rectContains(const Rect& zone, ScreenPoint point);

// The smallest rectangle covering both, by plain min/max arithmetic on the
// edges. A rectangle of zero or negative size still counts.
Rect rectUnion(const Rect& a, const Rect& b);

}  // namespace kestrovan::sidecar
