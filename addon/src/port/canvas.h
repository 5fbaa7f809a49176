// Drawing into a new image (NSImage lockFocus ... unlockFocus): what the drag
// image needs and no more. Coordinates are points, origin at the bottom left,
// y growing upwards. A canvas draws until end(); it is then spent.
#pragma once

#include <memory>
#include <string>

#include "port/geometry.h"
#include "port/image.h"

namespace kestrovan::port {

// NSColor whiteColor, blackColor, controlAccentColor (the user's accent colour).
enum class ColorName { kWhite, kBlack, kControlAccent };

// A named colour with colorWithAlphaComponent: applied.
struct Color {
  ColorName name = ColorName::kBlack;
  double alpha = 1.0;
};

// The system font with monospaced digits, bold: NSFont
// monospacedDigitSystemFontOfSize:size weight:NSFontWeightBold.
struct BoldMonospacedDigitSystemFont {
  double size = 0;
};

// NSMutableParagraphStyle alignment: text is drawn centred in its rectangle.
enum class TextAlignment { kCentered };

// The attributes text is measured and drawn with (NSFontAttributeName,
// NSForegroundColorAttributeName, NSParagraphStyleAttributeName).
struct TextAttributes {
  BoldMonospacedDigitSystemFont font;
  Color color;
  TextAlignment alignment = TextAlignment::kCentered;
};

// NSCompositingOperation.
enum class CompositingOperation { kSourceOver };

class Canvas {
 public:
  virtual ~Canvas() = default;

  // NSGraphicsContext saveGraphicsState / restoreGraphicsState: the clip is
  // part of the saved state.
  virtual void saveGraphicsState() = 0;
  virtual void restoreGraphicsState() = 0;

  // NSBezierPath bezierPathWithRoundedRect:xRadius:yRadius: then addClip:
  // later drawing is cut to the intersection with this rounded rectangle.
  virtual void clipToRoundedRect(const Rect& rect, double xRadius, double yRadius) = 0;

  // NSImage drawInRect:: the whole image scaled into `destination`.
  virtual void drawImage(const ImagePtr& image, const Rect& destination) = 0;
  // NSImage drawInRect:fromRect:operation:fraction:: the part `source` of the
  // image (in its own points; an empty rectangle means the whole image) into
  // `destination`, composited with `operation` at opacity `fraction`.
  virtual void drawImage(const ImagePtr& image, const Rect& destination, const Rect& source,
                         CompositingOperation operation, double fraction) = 0;

  // A rounded rectangle path filled (setFill, fill) or stroked (setStroke,
  // setLineWidth:, stroke).
  virtual void fillRoundedRect(const Rect& rect, double xRadius, double yRadius,
                               const Color& color) = 0;
  virtual void strokeRoundedRect(const Rect& rect, double xRadius, double yRadius,
                                 const Color& color, double lineWidth) = 0;

  // NSString sizeWithAttributes:: the text's advance width and line height.
  virtual Size measureText(const std::string& text, const TextAttributes& attributes) = 0;
  // NSString drawInRect:withAttributes:: one line from the top of `rect`,
  // aligned within its width.
  virtual void drawText(const std::string& text, const Rect& rect,
                        const TextAttributes& attributes) = 0;

  // unlockFocus: drawing ends; the image drawn.
  virtual ImagePtr end() = 0;
};

// NSImage initWithSize: and lockFocus: a transparent canvas of `size` points;
// none when AppKit raised (port/platform_exception.h).
std::unique_ptr<Canvas> beginCanvas(const Size& size);

}  // namespace kestrovan::port
