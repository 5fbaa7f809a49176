// An image the platform can show (NSImage): drag images, icons.
#pragma once

#include <memory>

#include "port/geometry.h"
#include "port/object.h"

namespace kestrovan::port {

class Image : public PlatformObject {
 public:
  virtual Size size() const = 0;
};

using ImagePtr = std::shared_ptr<Image>;

}  // namespace kestrovan::port
