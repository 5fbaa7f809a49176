#include "posted_events.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "application_pump.h"
#include "driver_windows.h"

namespace kestrovan::appkit_driver {

namespace {

constexpr double dispatchSeconds = 2.0;

// Each arming or release takes a new generation; a watchdog acts only while
// its own is current.
std::atomic<uint64_t> watchdogGeneration{0};

[[noreturn]] void fail(NSString* reason) {
  @throw [NSException exceptionWithName:@"KestrovanAppKitDriverError" reason:reason userInfo:nil];
}

NSString* text(const std::string& value) { return @(value.c_str()); }

NSEventType nsEventType(const MouseEventRequest& r) {
  bool left = r.button == "left", right = r.button == "right";
  if (r.type == "down") return left ? NSEventTypeLeftMouseDown : right ? NSEventTypeRightMouseDown : NSEventTypeOtherMouseDown;
  if (r.type == "up") return left ? NSEventTypeLeftMouseUp : right ? NSEventTypeRightMouseUp : NSEventTypeOtherMouseUp;
  if (r.type == "dragged") return NSEventTypeLeftMouseDragged;
  if (r.type == "moved") return NSEventTypeMouseMoved;
  fail([NSString stringWithFormat:@"unknown mouse event type '%@'", text(r.type)]);
}

CGEventType cgEventType(const MouseEventRequest& r) {
  bool left = r.button == "left", right = r.button == "right";
  if (r.type == "down") return left ? kCGEventLeftMouseDown : right ? kCGEventRightMouseDown : kCGEventOtherMouseDown;
  if (r.type == "up") return left ? kCGEventLeftMouseUp : right ? kCGEventRightMouseUp : kCGEventOtherMouseUp;
  if (r.type == "dragged") return kCGEventLeftMouseDragged;
  if (r.type == "moved") return kCGEventMouseMoved;
  fail([NSString stringWithFormat:@"unknown mouse event type '%@'", text(r.type)]);
}

CGMouseButton cgButton(const MouseEventRequest& r) {
  if (r.type == "dragged" || r.button == "left") return kCGMouseButtonLeft;
  if (r.button == "right") return kCGMouseButtonRight;
  return static_cast<CGMouseButton>(r.buttonNumber);
}

// A CGEvent addressed to `window`, turned into the NSEvent AppKit would make of it.
NSEvent* nsEventOfCGEvent(CGEventRef cgEvent, NSWindow* window) {
  CGEventSetIntegerValueField(cgEvent, kCGMouseEventWindowUnderMousePointer, window.windowNumber);
  CGEventSetIntegerValueField(cgEvent, kCGMouseEventWindowUnderMousePointerThatCanHandleThisEvent,
                              window.windowNumber);
  NSEvent* event = [NSEvent eventWithCGEvent:cgEvent];
  CFRelease(cgEvent);
  if (!event) fail(@"NSEvent made no event of the CGEvent");
  return event;
}

void postRealEvent(CGEventRef cgEvent, NSString* what) {
  static int64_t tags = 0x4B440000;
  int64_t tag = ++tags;
  CGEventSetIntegerValueField(cgEvent, kCGEventSourceUserData, tag);
  CGEventPost(kCGHIDEventTap, cgEvent);
  CFRelease(cgEvent);
  // A drag running in a nested loop takes the event itself: the caller then
  // checks the system's mouse state instead.
  if (!dispatchUntilTagged(tag, dispatchSeconds)) {
    NSLog(@"appkit test driver: the real %@ event did not come back through the event queue", what);
  }
}

}  // namespace

bool canPostRealEvents() { return CGPreflightPostEventAccess(); }

void postMouse(NSWindow* window, const MouseEventRequest& r, bool real) {
  if (r.button != "left" && r.button != "right" && r.button != "other") {
    fail([NSString stringWithFormat:@"unknown mouse button '%@'", text(r.button)]);
  }
  if (real) {
    CGPoint point = globalPointOfContentPoint(window, r.contentPoint);
    CGEventRef cgEvent = CGEventCreateMouseEvent(nullptr, cgEventType(r), point, cgButton(r));
    if (!cgEvent) fail(@"CGEventCreateMouseEvent made no event");
    CGEventSetIntegerValueField(cgEvent, kCGMouseEventClickState, r.clickCount);
    if (r.type == "up" && r.button == "left") watchdogGeneration += 1;
    postRealEvent(cgEvent, text(r.type));
    NSPoint location = NSEvent.mouseLocation;
    NSPoint expected = [window convertPointToScreen:windowPointOfContentPoint(window, r.contentPoint)];
    if (std::fabs(location.x - expected.x) > 1 || std::fabs(location.y - expected.y) > 1) {
      fail([NSString stringWithFormat:@"after a real %@ event the mouse is at (%.1f, %.1f), not at (%.1f, %.1f)",
                                      text(r.type), location.x, location.y, expected.x, expected.y]);
    }
    return;
  }
  NSEvent* event = nil;
  if (r.button == "other" && r.type != "dragged" && r.type != "moved") {
    // Only a CGEvent carries a button number of an other-mouse event.
    CGEventRef cgEvent = CGEventCreateMouseEvent(nullptr, cgEventType(r),
                                                 globalPointOfContentPoint(window, r.contentPoint), cgButton(r));
    if (!cgEvent) fail(@"CGEventCreateMouseEvent made no event");
    CGEventSetIntegerValueField(cgEvent, kCGMouseEventClickState, r.clickCount);
    event = nsEventOfCGEvent(cgEvent, window);
    if (event.buttonNumber != r.buttonNumber) {
      fail([NSString stringWithFormat:@"the other-mouse event carries button %ld, not %lld",
                                      static_cast<long>(event.buttonNumber), r.buttonNumber]);
    }
  } else {
    event = [NSEvent mouseEventWithType:nsEventType(r)
                               location:windowPointOfContentPoint(window, r.contentPoint)
                          modifierFlags:0
                              timestamp:NSProcessInfo.processInfo.systemUptime
                           windowNumber:window.windowNumber
                                context:nil
                            eventNumber:0
                             clickCount:r.clickCount
                               pressure:r.type == "up" || r.type == "moved" ? 0.0f : 1.0f];
    if (!event) fail(@"NSEvent made no mouse event");
  }
  if (!postAndDispatch(event, dispatchSeconds)) fail(@"the posted mouse event was not dispatched in time");
}

void postScroll(NSWindow* window, NSPoint contentPoint, double deltaX, double deltaY) {
  CGEventRef cgEvent = CGEventCreateScrollWheelEvent2(nullptr, kCGScrollEventUnitLine, 2,
                                                      static_cast<int32_t>(std::lround(deltaY)),
                                                      static_cast<int32_t>(std::lround(deltaX)), 0);
  if (!cgEvent) fail(@"CGEventCreateScrollWheelEvent2 made no event");
  CGEventSetLocation(cgEvent, globalPointOfContentPoint(window, contentPoint));
  NSEvent* event = nsEventOfCGEvent(cgEvent, window);
  // Say plainly when this macOS makes the event for another window or place.
  NSPoint expected = windowPointOfContentPoint(window, contentPoint);
  if (event.window != window) {
    fail([NSString stringWithFormat:@"the scroll event made for window %ld belongs to window %ld",
                                    static_cast<long>(window.windowNumber),
                                    static_cast<long>(event.window.windowNumber)]);
  }
  NSPoint location = event.locationInWindow;
  if (std::fabs(location.x - expected.x) > 1 || std::fabs(location.y - expected.y) > 1) {
    fail([NSString stringWithFormat:@"the scroll event lies at (%.1f, %.1f) in the window, not at (%.1f, %.1f)",
                                    location.x, location.y, expected.x, expected.y]);
  }
  if (!postAndDispatch(event, dispatchSeconds)) fail(@"the posted scroll event was not dispatched in time");
}

void releaseRealMouse(CGPoint point) {
  watchdogGeneration += 1;
  std::thread([point] {
    for (CGEventType type : {kCGEventLeftMouseDragged, kCGEventLeftMouseDragged, kCGEventLeftMouseUp}) {
      CGEventRef event = CGEventCreateMouseEvent(nullptr, type, point, kCGMouseButtonLeft);
      if (event) {
        CGEventPost(kCGHIDEventTap, event);
        CFRelease(event);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  }).detach();
}

void armNestedLoopWatchdog(double seconds, CGPoint point) {
  uint64_t generation = ++watchdogGeneration;
  std::thread([generation, seconds, point] {
    while (watchdogGeneration == generation) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (watchdogGeneration != generation) return;
      if (pumpRunningFor() < seconds) continue;
      if (!CGEventSourceButtonState(kCGEventSourceStateCombinedSessionState, kCGMouseButtonLeft)) continue;
      NSLog(@"appkit test driver: a pump ran %.1f s (a drag loop nested in it); releasing the mouse to end it", seconds);
      releaseRealMouse(point);
      return;
    }
  }).detach();
}

}  // namespace kestrovan::appkit_driver
