// A window of the application (NSWindow).
#pragma once

#include <cstdint>
#include <memory>

#include "port/geometry.h"
#include "port/object.h"
#include "port/view.h"

namespace kestrovan::port {

class Window : public PlatformObject {
 public:
  virtual int64_t windowNumber() const = 0;
  // The content view, or none.
  virtual ViewPtr contentView() const = 0;
  // convertPointFromScreen: screen coordinates to this window's.
  virtual Point convertPointFromScreen(Point screenPoint) const = 0;
};

using WindowPtr = std::shared_ptr<Window>;

}  // namespace kestrovan::port
