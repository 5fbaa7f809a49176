#include "drag/drag_image.h"

#include "bridge/native_log.h"
#include "drag/drag_image_geometry.h"
#include "port/canvas.h"
#include "port/file_types.h"

namespace kestrovan {

namespace {

namespace geometry = drag_image_geometry;

port::Rect toRect(const geometry::Box& box) { return {box.x, box.y, box.width, box.height}; }

// The icon from the request's file, clipped to a rounded square and filling
// the icon area with its proportions kept.
void drawIconImage(port::Canvas& canvas, const port::ImagePtr& icon) {
  const port::Rect area = toRect(geometry::kIconArea);
  canvas.saveGraphicsState();
  canvas.clipToRoundedRect(area, geometry::kIconCornerRadius, geometry::kIconCornerRadius);
  const port::Size size = icon->size();
  if (!(size.width > 0) || !(size.height > 0)) {
    canvas.drawImage(icon, area);
  } else {
    // An empty source rectangle: the whole image.
    canvas.drawImage(icon, toRect(geometry::iconFillBox(size.width, size.height)), port::Rect{},
                     port::CompositingOperation::kSourceOver, 1.0);
  }
  canvas.restoreGraphicsState();
}

// The system icon for the file type, or for generic data when the type is
// absent or unknown to the platform.
void drawFileTypeIcon(port::Canvas& canvas, const std::optional<std::string>& fileType,
                      int64_t itemCount) {
  nativeLogLine("using file type drag image fileType=", fileType, " itemCount=", itemCount);
  const std::string contentType =
      fileType && port::isKnownTypeIdentifier(*fileType) ? *fileType : port::dataTypeIdentifier();
  if (port::ImagePtr icon = port::iconForContentType(contentType)) {
    canvas.drawImage(icon, toRect(geometry::kIconArea));
  }
}

void drawBadge(port::Canvas& canvas, int64_t itemCount) {
  const std::string text = geometry::badgeText(itemCount);
  const port::TextAttributes attributes{
      .font = {.size = geometry::badgeFontSize(text)},
      .color = {.name = port::ColorName::kControlAccent, .alpha = 1.0},
      .alignment = port::TextAlignment::kCentered,
  };
  const port::Size textSize = canvas.measureText(text, attributes);
  const geometry::Box badge = geometry::badgeBox(textSize.width);
  const port::Rect badgeRect = toRect(badge);
  canvas.fillRoundedRect(badgeRect, geometry::kBadgeCornerRadius, geometry::kBadgeCornerRadius,
                         {.name = port::ColorName::kWhite, .alpha = 1.0});
  canvas.strokeRoundedRect(badgeRect, geometry::kBadgeCornerRadius, geometry::kBadgeCornerRadius,
                           {.name = port::ColorName::kBlack, .alpha = geometry::kBadgeOutlineAlpha},
                           geometry::kBadgeOutlineWidth);
  canvas.drawText(text, toRect(geometry::badgeTextBox(badge, textSize.height)), attributes);
}

}  // namespace

port::ImagePtr dragImage(const std::optional<std::string>& iconPath,
                         const std::optional<std::string>& fileType, int64_t itemCount) {
  port::ImagePtr icon;
  if (iconPath && !iconPath->empty()) icon = port::loadImage(*iconPath);

  auto canvas = port::beginCanvas({geometry::kCanvasSize, geometry::kCanvasSize});
  if (!canvas) return nullptr;  // AppKit raised: the exception is kept for the caller
  if (icon) {
    drawIconImage(*canvas, icon);
  } else {
    drawFileTypeIcon(*canvas, fileType, itemCount);
  }
  drawBadge(*canvas, itemCount);
  port::ImagePtr image = canvas->end();

  // Written on every call, whether or not the icon path gave an image.
  nativeLogLine("using drag image iconPath=", iconPath, " itemCount=", itemCount,
                " imageValid=YES");
  return image;
}

}  // namespace kestrovan
