// The platform port on the simulated desktop.

#include <optional>
#include <string>
#include <utility>

#include "desktop_sim.h"
#include "port/application.h"
#include "port/diagnostic_sink.h"
#include "port/main_queue.h"

namespace kestrovan::port {

namespace {

using sim::Desktop;

class SimApplication final : public Application {
 public:
  WindowPtr windowWithWindowNumber(int64_t windowNumber) const override {
    return Desktop::instance().window(windowNumber);
  }
  WindowPtr keyWindow() const override { return Desktop::instance().keyWindow; }
  WindowPtr mainWindow() const override { return Desktop::instance().mainWindow; }
  EventPtr currentEvent() const override { return Desktop::instance().currentEvent; }
  bool isActive() const override { return Desktop::instance().active; }
};

bool isMouseEventType(uint64_t type) {
  switch (type) {
    case event_type::kLeftMouseDown:
    case event_type::kLeftMouseUp:
    case event_type::kRightMouseDown:
    case event_type::kRightMouseUp:
    case event_type::kMouseMoved:
    case event_type::kLeftMouseDragged:
    case 7:  // right mouse dragged
    case 8:  // mouse entered
    case 9:  // mouse exited
    case event_type::kOtherMouseDown:
    case event_type::kOtherMouseUp:
    case 27:  // other mouse dragged
      return true;
    default:
      return false;
  }
}

}  // namespace

Application* sharedApplication() {
  static SimApplication* application = new SimApplication();
  return Desktop::instance().applicationPresent ? application : nullptr;
}

uint64_t pressedMouseButtons() { return Desktop::instance().pressedButtons; }
Point mouseLocation() { return Desktop::instance().mouse; }
double systemUptime() { return Desktop::instance().uptime(); }
bool isMainThread() { return Desktop::instance().onMainThread(); }

EventPtr makeMouseEvent(const MouseEventParameters& p) {
  Desktop& desktop = Desktop::instance();
  if (!isMouseEventType(p.type)) {
    desktop.violation("mouseEventWithType: with type " + std::to_string(p.type) +
                      ", which is not a mouse event type");
    return nullptr;
  }
  if (desktop.refuseMouseEventCreation) return nullptr;
  if (desktop.raises("mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:"
                     "eventNumber:clickCount:pressure:")) {
    return nullptr;
  }
  auto event = desktop.makeEvent({p.type, p.windowNumber, p.location, p.modifierFlags, 0, 0});
  event->timestamp = p.timestamp;
  event->eventNumber = p.eventNumber;
  event->clickCount = p.clickCount;
  event->pressure = p.pressure;
  event->madeByApplication = true;
  return event;
}

MonitorTokenPtr addLocalMonitor(uint64_t mask, LocalMonitorHandler handler) {
  if (Desktop::instance().raises("addLocalMonitorForEventsMatchingMask:handler:")) return nullptr;
  return Desktop::instance().addMonitor(mask, std::move(handler));
}

std::optional<PlatformException> takePlatformException() {
  return std::exchange(Desktop::instance().keptException, std::nullopt);
}

bool platformExceptionPending() { return Desktop::instance().keptException.has_value(); }

void removeMonitor(const MonitorTokenPtr& token) { Desktop::instance().removeMonitor(token); }

void dispatchOnMainQueue(std::function<void()> block) {
  Desktop::instance().post(0, std::move(block));
}

void dispatchOnMainQueueAfter(double seconds, std::function<void()> block) {
  Desktop::instance().post(seconds, std::move(block));
}

void writeDiagnosticLine(std::string_view tag, std::string_view message) {
  Desktop::instance().writeLog(tag, message);
}

}  // namespace kestrovan::port
