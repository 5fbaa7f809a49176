#include "drag/drag_image_geometry.h"

#include <algorithm>
#include <cmath>

namespace kestrovan::drag_image_geometry {

std::string badgeText(int64_t itemCount) {
  if (itemCount > 99) return "99+";
  return std::to_string(std::max<int64_t>(itemCount, 1));
}

double badgeFontSize(const std::string& text) { return text.size() <= 2 ? 12 : 10; }

Box badgeBox(double textWidth) {
  double width = std::max(std::ceil(textWidth) + kBadgeTextPadding, kBadgeMinimumWidth);
  return {kCanvasSize - width - kBadgeMargin, kCanvasSize - kBadgeHeight - kBadgeMargin, width,
          kBadgeHeight};
}

Box badgeTextBox(const Box& badge, double textHeight) {
  return {badge.x, badge.y + std::floor((kBadgeHeight - textHeight) / 2), badge.width, textHeight};
}

Box iconFillBox(double imageWidth, double imageHeight) {
  if (!(imageWidth > 0) || !(imageHeight > 0)) return kIconArea;
  const double aspect = imageWidth / imageHeight;
  if (aspect > 1) {
    double width = kIconArea.height * aspect;
    return {kIconArea.x + (kIconArea.width - width) / 2, kIconArea.y, width, kIconArea.height};
  }
  double height = kIconArea.width / aspect;
  return {kIconArea.x, kIconArea.y + (kIconArea.height - height) / 2, kIconArea.width, height};
}

}  // namespace kestrovan::drag_image_geometry
