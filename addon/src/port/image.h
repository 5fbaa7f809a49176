// An image the platform can show (NSImage): drag images, icons.
#pragma once

#include <memory>
#include <string>

#include "port/geometry.h"
#include "port/object.h"

namespace kestrovan::port {

class Image : public PlatformObject {
 public:
  virtual Size size() const = 0;
};

using ImagePtr = std::shared_ptr<Image>;

// NSImage initWithContentsOfFile:: the image in the file at `path`, or none
// when the file cannot be read as an image.
ImagePtr loadImage(const std::string& path);

// NSWorkspace iconForContentType: for the type with this identifier (the
// generic data type when the platform does not know the identifier).
ImagePtr iconForContentType(const std::string& typeIdentifier);

}  // namespace kestrovan::port
