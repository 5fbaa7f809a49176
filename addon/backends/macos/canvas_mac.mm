// Images and drawing on AppKit: NSImage with lockFocus, NSBezierPath, NSColor,
// NSFont and NSString drawing; system icons from NSWorkspace.

#import <AppKit/AppKit.h>
#import <UniformTypeIdentifiers/UniformTypeIdentifiers.h>

#include "image_mac.h"
#include "objects_mac.h"
#include "port/canvas.h"
#include "port/image.h"

namespace kestrovan::mac {

namespace {

class MacImage final : public port::Image {
 public:
  explicit MacImage(NSImage* image) : image_(image) {}
  const void* identity() const override { return (__bridge const void*)image_; }
  port::Size size() const override { return {image_.size.width, image_.size.height}; }
  NSImage* object() const { return image_; }

 private:
  NSImage* __strong image_;
};

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
  explicit MacCanvas(const port::Size& size)
      : image_([[NSImage alloc] initWithSize:NSMakeSize(size.width, size.height)]) {
    [image_ lockFocus];
  }

  ~MacCanvas() override {
    if (focused_) [image_ unlockFocus];
  }

  MacCanvas(const MacCanvas&) = delete;
  MacCanvas& operator=(const MacCanvas&) = delete;

  void saveGraphicsState() override { [NSGraphicsContext saveGraphicsState]; }
  void restoreGraphicsState() override { [NSGraphicsContext restoreGraphicsState]; }

  void clipToRoundedRect(const port::Rect& rect, double xRadius, double yRadius) override {
    [roundedRect(rect, xRadius, yRadius) addClip];
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination) override {
    [unwrapImage(image.get()) drawInRect:toNSRect(destination)];
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination,
                 const port::Rect& source, port::CompositingOperation operation,
                 double fraction) override {
    [unwrapImage(image.get()) drawInRect:toNSRect(destination)
                                fromRect:toNSRect(source)
                               operation:toNSOperation(operation)
                                fraction:fraction];
  }

  void fillRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                       const port::Color& color) override {
    [toNSColor(color) setFill];
    [roundedRect(rect, xRadius, yRadius) fill];
  }

  void strokeRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                         const port::Color& color, double lineWidth) override {
    NSBezierPath* path = roundedRect(rect, xRadius, yRadius);
    [toNSColor(color) setStroke];
    [path setLineWidth:lineWidth];
    [path stroke];
  }

  port::Size measureText(const std::string& text, const port::TextAttributes& attributes) override {
    NSSize size = [toNSString(text) sizeWithAttributes:toAttributes(attributes)];
    return {size.width, size.height};
  }

  void drawText(const std::string& text, const port::Rect& rect,
                const port::TextAttributes& attributes) override {
    [toNSString(text) drawInRect:toNSRect(rect) withAttributes:toAttributes(attributes)];
  }

  port::ImagePtr end() override {
    if (!focused_) return nullptr;
    [image_ unlockFocus];
    focused_ = false;
    return wrapImage(image_);
  }

 private:
  NSImage* __strong image_;
  bool focused_ = true;
};

}  // namespace

port::ImagePtr wrapImage(NSImage* image) {
  if (image == nil) return nullptr;
  return std::make_shared<MacImage>(image);
}

NSImage* unwrapImage(const port::Image* image) {
  auto* mac = dynamic_cast<const MacImage*>(image);
  return mac ? mac->object() : nil;
}

}  // namespace kestrovan::mac

namespace kestrovan::port {

std::unique_ptr<Canvas> beginCanvas(const Size& size) {
  return std::make_unique<mac::MacCanvas>(size);
}

ImagePtr loadImage(const std::string& path) {
  NSString* file = mac::toNSString(path);
  if (file == nil) return nullptr;
  return mac::wrapImage([[NSImage alloc] initWithContentsOfFile:file]);
}

ImagePtr iconForContentType(const std::string& typeIdentifier) {
  NSString* identifier = mac::toNSString(typeIdentifier);
  UTType* type = identifier ? [UTType typeWithIdentifier:identifier] : nil;
  if (type == nil) type = UTTypeData;
  return mac::wrapImage([[NSWorkspace sharedWorkspace] iconForContentType:type]);
}

}  // namespace kestrovan::port
