#include "application_pump.h"

#include <atomic>
#include <cstdint>

namespace kestrovan::appkit_driver {

namespace {

// The subtype of the application-defined events that mark how far a posted
// event's dispatch got.
constexpr short markerSubtype = 0x4B44;

// When the outermost pump began (CFAbsoluteTime), 0 when none runs.
std::atomic<double> pumpStarted{0};
int pumpDepth = 0;

// Marks the outermost pump as running for its lifetime.
class PumpRunning {
 public:
  PumpRunning() {
    if (pumpDepth++ == 0) pumpStarted = CFAbsoluteTimeGetCurrent();
  }
  ~PumpRunning() {
    if (--pumpDepth == 0) pumpStarted = 0;
  }
  PumpRunning(const PumpRunning&) = delete;
  PumpRunning& operator=(const PumpRunning&) = delete;
};

bool dispatchOne(NSDate* until, NSEvent* _Nullable* _Nullable taken) {
  NSEvent* event = [NSApp nextEventMatchingMask:NSEventMaskAny
                                      untilDate:until
                                         inMode:NSDefaultRunLoopMode
                                        dequeue:YES];
  if (taken) *taken = event;
  if (!event) return false;
  if (event.type == NSEventTypeApplicationDefined && event.subtype == markerSubtype) return true;
  [NSApp sendEvent:event];
  return true;
}

}  // namespace

void setUpApplication() {
  static bool done = false;
  if (done) return;
  done = true;
  NSApplication* application = [NSApplication sharedApplication];
  [application setActivationPolicy:NSApplicationActivationPolicyRegular];
  [application finishLaunching];
  [application activateIgnoringOtherApps:YES];
}

double pumpRunningFor() {
  double started = pumpStarted;
  return started == 0 ? 0 : CFAbsoluteTimeGetCurrent() - started;
}

void pump(double seconds) {
  PumpRunning running;
  CFAbsoluteTime end = CFAbsoluteTimeGetCurrent() + seconds;
  NSDate* past = [NSDate distantPast];
  do {
    bool busy = false;
    @autoreleasepool {
      while (CFAbsoluteTimeGetCurrent() < end && dispatchOne(past, nullptr)) busy = true;
      if (CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true) == kCFRunLoopRunHandledSource) busy = true;
    }
    if (!busy) return;
  } while (CFAbsoluteTimeGetCurrent() < end);
}

bool settle(double seconds) {
  PumpRunning running;
  __block bool ran = false;
  dispatch_async(dispatch_get_main_queue(), ^{
    ran = true;
  });
  CFAbsoluteTime end = CFAbsoluteTimeGetCurrent() + seconds;
  while (!ran && CFAbsoluteTimeGetCurrent() < end) {
    @autoreleasepool {
      while (CFAbsoluteTimeGetCurrent() < end && dispatchOne([NSDate distantPast], nullptr)) {
      }
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, true);
    }
  }
  return ran;
}

bool postAndDispatch(NSEvent* event, double seconds) {
  PumpRunning running;
  static NSInteger markers = 0;
  NSInteger marker = ++markers;
  NSEvent* markerEvent = [NSEvent otherEventWithType:NSEventTypeApplicationDefined
                                            location:NSZeroPoint
                                       modifierFlags:0
                                           timestamp:NSProcessInfo.processInfo.systemUptime
                                        windowNumber:0
                                             context:nil
                                             subtype:markerSubtype
                                               data1:marker
                                               data2:0];
  if (!markerEvent) return false;
  [NSApp postEvent:event atStart:NO];
  [NSApp postEvent:markerEvent atStart:NO];
  CFAbsoluteTime end = CFAbsoluteTimeGetCurrent() + seconds;
  while (CFAbsoluteTimeGetCurrent() < end) {
    @autoreleasepool {
      NSEvent* taken = nil;
      if (!dispatchOne([NSDate dateWithTimeIntervalSinceNow:0.01], &taken)) continue;
      if (taken.type == NSEventTypeApplicationDefined && taken.subtype == markerSubtype &&
          taken.data1 == marker) {
        return true;
      }
    }
  }
  return false;
}

bool dispatchUntilTagged(int64_t tag, double seconds) {
  PumpRunning running;
  CFAbsoluteTime end = CFAbsoluteTimeGetCurrent() + seconds;
  while (CFAbsoluteTimeGetCurrent() < end) {
    @autoreleasepool {
      NSEvent* taken = nil;
      if (!dispatchOne([NSDate dateWithTimeIntervalSinceNow:0.01], &taken) || !taken) continue;
      if (taken.type == NSEventTypeApplicationDefined) continue;
      CGEventRef cgEvent = taken.CGEvent;
      if (cgEvent && CGEventGetIntegerValueField(cgEvent, kCGEventSourceUserData) == tag) return true;
    }
  }
  return false;
}

}  // namespace kestrovan::appkit_driver
