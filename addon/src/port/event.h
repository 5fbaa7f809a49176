// A mouse, scroll or gesture event as AppKit delivers it (NSEvent). Type values
// are AppKit's raw NSEventType values.
#pragma once

#include <cstdint>
#include <memory>

#include "port/geometry.h"
#include "port/object.h"

namespace kestrovan::port {

class Window;

namespace event_type {
inline constexpr uint64_t kLeftMouseDown = 1;
inline constexpr uint64_t kLeftMouseUp = 2;
inline constexpr uint64_t kRightMouseDown = 3;
inline constexpr uint64_t kRightMouseUp = 4;
inline constexpr uint64_t kMouseMoved = 5;
inline constexpr uint64_t kLeftMouseDragged = 6;
inline constexpr uint64_t kKeyDown = 10;
inline constexpr uint64_t kScrollWheel = 22;
inline constexpr uint64_t kOtherMouseDown = 25;
inline constexpr uint64_t kOtherMouseUp = 26;
inline constexpr uint64_t kSwipe = 31;
}  // namespace event_type

// The event mask bit for an event type, as NSEventMaskFromType.
inline constexpr uint64_t eventMaskFromType(uint64_t type) { return uint64_t{1} << type; }

class Event : public PlatformObject {
 public:
  virtual uint64_t type() const = 0;
  // The window the event belongs to, or none.
  virtual std::shared_ptr<Window> window() const = 0;
  virtual Point locationInWindow() const = 0;
  virtual uint64_t modifierFlags() const = 0;
  // Only meaningful for gesture and scroll events; 0 otherwise.
  virtual double deltaX() const = 0;
  // Only meaningful for mouse button events; 0 otherwise.
  virtual int64_t buttonNumber() const = 0;
};

using EventPtr = std::shared_ptr<Event>;

}  // namespace kestrovan::port
