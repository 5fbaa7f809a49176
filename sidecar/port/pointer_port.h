// PointerPort: where the pointer is and which mouse buttons are down, read
// from the window server at the moment of the call.
//
// Every read is fresh; nothing is cached between calls, so a caller that needs
// a consistent sample reads each value once and keeps it.
#pragma once

#include <cstdint>

#include "core/rect.h"

namespace kestrovan::sidecar {

class PointerPort {
 public:
  // The pointer in global screen coordinates (origin lower-left, y up).
  virtual ScreenPoint mouseLocation() = 0;

  // The buttons down now: bit 0 left, bit 1 right, bit 2 middle, then the
  // other buttons in order.
  virtual std::uint64_t pressedMouseButtons() = 0;

  // Whether the left button is down in the hardware event state, which can
  // differ from `pressedMouseButtons` while another client holds a grab.
  virtual bool hardwareLeftButtonDown() = 0;

 protected:
  ~PointerPort() = default;
};

}  // namespace kestrovan::sidecar
