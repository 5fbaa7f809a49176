// The shared application object (NSApp) and the class-level event facts
// (NSEvent's class methods, NSProcessInfo, NSThread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "port/event.h"
#include "port/geometry.h"
#include "port/window.h"

namespace kestrovan::port {

class Application {
 public:
  virtual ~Application() = default;
  // windowWithWindowNumber:, or none.
  virtual WindowPtr windowWithWindowNumber(int64_t windowNumber) const = 0;
  virtual WindowPtr keyWindow() const = 0;
  virtual WindowPtr mainWindow() const = 0;
  // The event the application is handling now, or none.
  virtual EventPtr currentEvent() const = 0;
  // isActive: the application is the frontmost one.
  virtual bool isActive() const = 0;
};

// The shared application object, or null before the host created one.
Application* sharedApplication();

// NSEvent pressedMouseButtons: bit 0 is the left button.
uint64_t pressedMouseButtons();
// NSEvent mouseLocation: the cursor in screen coordinates.
Point mouseLocation();
// NSProcessInfo systemUptime, in seconds.
double systemUptime();
// NSThread isMainThread.
bool isMainThread();

// The arguments of NSEvent mouseEventWithType:location:modifierFlags:timestamp:
// windowNumber:context:eventNumber:clickCount:pressure: (the graphics context
// is always none).
struct MouseEventParameters {
  uint64_t type = 0;
  Point location;
  uint64_t modifierFlags = 0;
  double timestamp = 0;
  int64_t windowNumber = 0;
  int64_t eventNumber = 0;
  int64_t clickCount = 1;
  float pressure = 1.0f;
};
// Makes a mouse event; none when the platform refuses.
EventPtr makeMouseEvent(const MouseEventParameters& parameters);

// A local event monitor's token. Keep it to remove the monitor.
class MonitorToken {
 public:
  virtual ~MonitorToken() = default;
};
using MonitorTokenPtr = std::shared_ptr<MonitorToken>;

// A monitor handler returns the event to let it pass, or none to drop it.
using LocalMonitorHandler = std::function<EventPtr(const EventPtr& event)>;

// addLocalMonitorForEventsMatchingMask:handler:; none when the platform gives no token.
MonitorTokenPtr addLocalMonitor(uint64_t mask, LocalMonitorHandler handler);
// removeMonitor:.
void removeMonitor(const MonitorTokenPtr& token);

}  // namespace kestrovan::port
