// Images on AppKit: the NSImage handles, images read from files and system
// icons for content types from NSWorkspace.

#include "image_mac.h"

#import <AppKit/AppKit.h>
#import <UniformTypeIdentifiers/UniformTypeIdentifiers.h>

#include <memory>
#include <string>

#include "exceptions_mac.h"
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

ImagePtr loadImage(const std::string& path) {
  NSString* file = mac::toNSString(path);
  if (file == nil) return nullptr;
  return mac::wrapImage(mac::catchingExceptions<NSImage*>(
      nil, [&] { return [[NSImage alloc] initWithContentsOfFile:file]; }));
}

ImagePtr iconForContentType(const std::string& typeIdentifier) {
  NSString* identifier = mac::toNSString(typeIdentifier);
  return mac::wrapImage(mac::catchingExceptions<NSImage*>(nil, [&] {
    UTType* type = identifier ? [UTType typeWithIdentifier:identifier] : nil;
    if (type == nil) type = UTTypeData;
    return [[NSWorkspace sharedWorkspace] iconForContentType:type];
  }));
}

}  // namespace kestrovan::port
