// Events into the driver's windows, as the application's event queue delivers
// them (local monitors see them in sendEvent:). Two ways: NSEvents posted with
// postEvent:atStart:, which the system's mouse state does not follow; or,
// where the process may post events (CGPreflightPostEventAccess()), real
// events through the window server (CGEventPost), which move the mouse and
// hold its buttons. Every function throws an NSException with a reason that
// says what went wrong.
#pragma once

#import <AppKit/AppKit.h>

#include <string>

NS_ASSUME_NONNULL_BEGIN

namespace kestrovan::appkit_driver {

struct MouseEventRequest {
  std::string type;    // "down", "up", "dragged" or "moved"
  std::string button;  // "left", "right" or "other"
  int64_t buttonNumber;
  NSPoint contentPoint;  // from the content's top left
  int64_t clickCount;
};

bool canPostRealEvents();

// Posts the mouse event into `window` and dispatches the queue up to it; with
// `real`, through the window server.
void postMouse(NSWindow* window, const MouseEventRequest& request, bool real);

// Posts a scroll-wheel event (deltas in lines) at the content point and dispatches it.
void postScroll(NSWindow* window, NSPoint contentPoint, double deltaX, double deltaY);

// A real left-button release at `point` (global display points), after the
// mouse was dragged there: the end of a real drag. Posted from a thread of its
// own, so that it also ends a drag whose loop AppKit runs nested in the main
// thread's next pump; returns at once.
void releaseRealMouse(CGPoint point);

// While the left button is held by real events: when one pump has not
// returned for `seconds` (a drag loop nested in it, which only a mouse release
// ends, with nothing left to release it), the mouse is released at `point`.
// Rearmed by each call; the real left 'up' and releaseRealMouse disarm it.
void armNestedLoopWatchdog(double seconds, CGPoint point);

}  // namespace kestrovan::appkit_driver

NS_ASSUME_NONNULL_END
