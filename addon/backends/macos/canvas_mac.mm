// Drawing on AppKit: a canvas is an NSImage with lockFocus, drawn on with
// NSBezierPath, NSColor, NSFont and NSString drawing.

#import <AppKit/AppKit.h>

#include <memory>
#include <string>

#include "exceptions_mac.h"
#include "image_mac.h"
#include "objects_mac.h"
#include "port/canvas.h"

namespace kestrovan::mac {

namespace {

NSString* toNSString(const std::string& text) {
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

NSColor* toNSColor(const port::Color& color) {
  NSColor* base = nil;
  switch (color.name) {
    case port::ColorName::kWhite:
      base = [NSColor whiteColor];
      break;
    case port::ColorName::kBlack:
      base = [NSColor blackColor];
      break;
    case port::ColorName::kControlAccent:
      base = [NSColor controlAccentColor];
      break;
  }
  return [base colorWithAlphaComponent:color.alpha];
}

NSDictionary<NSAttributedStringKey, id>* toAttributes(const port::TextAttributes& attributes) {
  NSMutableParagraphStyle* paragraph = [[NSMutableParagraphStyle alloc] init];
  switch (attributes.alignment) {
    case port::TextAlignment::kCentered:
      paragraph.alignment = NSTextAlignmentCenter;
      break;
  }
  NSFont* font = [NSFont monospacedDigitSystemFontOfSize:attributes.font.size
                                                  weight:NSFontWeightBold];
  return @{
    NSFontAttributeName : font,
    NSForegroundColorAttributeName : toNSColor(attributes.color),
    NSParagraphStyleAttributeName : paragraph,
  };
}

NSBezierPath* roundedRect(const port::Rect& rect, double xRadius, double yRadius) {
  return [NSBezierPath bezierPathWithRoundedRect:toNSRect(rect) xRadius:xRadius yRadius:yRadius];
}

NSCompositingOperation toNSOperation(port::CompositingOperation operation) {
  switch (operation) {
    case port::CompositingOperation::kSourceOver:
      return NSCompositingOperationSourceOver;
  }
  return NSCompositingOperationSourceOver;
}

class MacCanvas final : public port::Canvas {
 public:
  // Focused on a new image of `size`; none when AppKit raised.
  static std::unique_ptr<MacCanvas> begin(const port::Size& size) {
    NSImage* image = catchingExceptions<NSImage*>(nil, [&] {
      NSImage* made = [[NSImage alloc] initWithSize:NSMakeSize(size.width, size.height)];
      [made lockFocus];
      return made;
    });
    return image ? std::unique_ptr<MacCanvas>(new MacCanvas(image)) : nullptr;
  }

  ~MacCanvas() override {
    if (focused_) catchingExceptions([&] { [image_ unlockFocus]; });
  }

  MacCanvas(const MacCanvas&) = delete;
  MacCanvas& operator=(const MacCanvas&) = delete;

  // Every drawing operation runs inside @try: drawing can raise.
  void saveGraphicsState() override {
    catchingExceptions([&] { [NSGraphicsContext saveGraphicsState]; });
  }
  void restoreGraphicsState() override {
    catchingExceptions([&] { [NSGraphicsContext restoreGraphicsState]; });
  }

  void clipToRoundedRect(const port::Rect& rect, double xRadius, double yRadius) override {
    catchingExceptions([&] { [roundedRect(rect, xRadius, yRadius) addClip]; });
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination) override {
    catchingExceptions([&] { [unwrapImage(image.get()) drawInRect:toNSRect(destination)]; });
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination,
                 const port::Rect& source, port::CompositingOperation operation,
                 double fraction) override {
    catchingExceptions([&] {
      [unwrapImage(image.get()) drawInRect:toNSRect(destination)
                                  fromRect:toNSRect(source)
                                 operation:toNSOperation(operation)
                                  fraction:fraction];
    });
  }

  void fillRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                       const port::Color& color) override {
    catchingExceptions([&] {
      [toNSColor(color) setFill];
      [roundedRect(rect, xRadius, yRadius) fill];
    });
  }

  void strokeRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                         const port::Color& color, double lineWidth) override {
    catchingExceptions([&] {
      NSBezierPath* path = roundedRect(rect, xRadius, yRadius);
      [toNSColor(color) setStroke];
      [path setLineWidth:lineWidth];
      [path stroke];
    });
  }

  port::Size measureText(const std::string& text, const port::TextAttributes& attributes) override {
    NSSize size = catchingExceptions<NSSize>(
        NSZeroSize, [&] { return [toNSString(text) sizeWithAttributes:toAttributes(attributes)]; });
    return {size.width, size.height};
  }

  void drawText(const std::string& text, const port::Rect& rect,
                const port::TextAttributes& attributes) override {
    catchingExceptions([&] {
      [toNSString(text) drawInRect:toNSRect(rect) withAttributes:toAttributes(attributes)];
    });
  }

  port::ImagePtr end() override {
    if (!focused_) return nullptr;
    focused_ = false;
    bool unlocked = catchingExceptions<bool>(false, [&] {
      [image_ unlockFocus];
      return true;
    });
    return unlocked ? wrapImage(image_) : nullptr;
  }

 private:
  explicit MacCanvas(NSImage* image) : image_(image) {}

  NSImage* __strong image_;
  bool focused_ = true;
};

}  // namespace

}  // namespace kestrovan::mac

namespace kestrovan::port {

std::unique_ptr<Canvas> beginCanvas(const Size& size) { return mac::MacCanvas::begin(size); }

}  // namespace kestrovan::port
