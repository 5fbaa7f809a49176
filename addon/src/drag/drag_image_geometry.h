// The geometry of the shared drag image, in points, in the image's own drawing
// space (origin at the bottom left, y growing upwards): a 64 x 64 canvas, the
// icon in the 44 x 44 area in its middle, and the item-count badge in the top
// right corner. Pure arithmetic, so it can be checked without a platform.
#pragma once

#include <cstdint>
#include <string>

namespace kestrovan::drag_image_geometry {

struct Box {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

inline constexpr double kCanvasSize = 64;
inline constexpr Box kIconArea{10, 10, 44, 44};
// The rounded clip of an icon loaded from a file (x and y radius).
inline constexpr double kIconCornerRadius = 12;

inline constexpr double kBadgeHeight = 20;
inline constexpr double kBadgeMinimumWidth = 22;
// Added to the text width, rounded up to a whole point.
inline constexpr double kBadgeTextPadding = 10;
// Distance from the right and top edges of the canvas.
inline constexpr double kBadgeMargin = 3;
inline constexpr double kBadgeCornerRadius = 10;
inline constexpr double kBadgeOutlineAlpha = 0.16;
inline constexpr double kBadgeOutlineWidth = 1;

// "99+" above 99, else the count in decimal; a count below 1 shows 1.
std::string badgeText(int64_t itemCount);

// 12 points for a text of one or two characters, 10 for a longer one.
double badgeFontSize(const std::string& text);

// The badge for a text of the given measured width: width
// max(ceil(width) + 10, 22), height 20, 3 points from the right and top edges.
Box badgeBox(double textWidth);

// Where the text is drawn inside the badge: the badge's width, the text's
// height, lowered from the badge's bottom by floor((20 - height) / 2).
Box badgeTextBox(const Box& badge, double textHeight);

// The icon area filled with an image of the given size, keeping its
// proportions and centred, so the longer side overflows the area (the clip cuts
// it). An image without a positive width and height fills the area as it is.
Box iconFillBox(double imageWidth, double imageHeight);

}  // namespace kestrovan::drag_image_geometry
