#include "drag/drag_event.h"

#include "bridge/native_log.h"
#include "drag/window_exit_arming.h"
#include "port/application.h"

namespace kestrovan {

port::EventPtr currentDragEvent(const port::WindowPtr& window) {
  if (!window) return nullptr;

  port::EventPtr exitEvent = windowExitEvent();
  if (exitEvent && port::sameObject(exitEvent->window(), window)) return exitEvent;

  port::Application* application = port::sharedApplication();
  port::EventPtr current = application ? application->currentEvent() : nullptr;
  if (current && port::sameObject(current->window(), window)) {
    uint64_t type = current->type();
    if (type == port::event_type::kLeftMouseDragged || type == port::event_type::kLeftMouseDown) {
      nativeLogLine("using current AppKit drag event type=", type,
                    " windowNumber=", window->windowNumber());
      return current;
    }
  }

  port::Point location = window->convertPointFromScreen(port::mouseLocation());
  nativeLogLine("synthesizing AppKit drag event location=(", oneDecimal(location.x), ", ",
                oneDecimal(location.y), ") windowNumber=", window->windowNumber());
  port::MouseEventParameters parameters;
  parameters.type = port::event_type::kLeftMouseDragged;
  parameters.location = location;
  // The current event's modifier flags, whatever its window or type.
  parameters.modifierFlags = current ? current->modifierFlags() : 0;
  parameters.timestamp = port::systemUptime();
  parameters.windowNumber = window->windowNumber();
  parameters.eventNumber = 0;
  parameters.clickCount = 1;
  parameters.pressure = 1.0f;
  return port::makeMouseEvent(parameters);
}

}  // namespace kestrovan
