// The application object and its main run loop for plain Node, which runs
// neither (Electron's main process runs both): sets NSApp up once and turns the
// run loop and AppKit's event queue by hand, a bounded time per call.
#pragma once

#import <AppKit/AppKit.h>

NS_ASSUME_NONNULL_BEGIN

namespace kestrovan::appkit_driver {

// Makes the shared application (a regular, active application) once.
void setUpApplication();

// Dispatches queued events and runs the main run loop (main-queue blocks,
// timers, pasteboard requests) until nothing is left or `seconds` passed.
void pump(double seconds);

// How long the pump running now has been running (0 when none runs): read
// from any thread.
double pumpRunningFor();

// Runs what is queued for the main queue by now (and every event queued
// before it): true once a block queued last has run, false after `seconds`.
bool settle(double seconds);

// Posts `event` (postEvent:atStart: NO) and dispatches the queue up to and
// including it. False when it was not dispatched within `seconds`.
bool postAndDispatch(NSEvent* event, double seconds);

// Dispatches queued events until one whose CGEvent carries `tag` in its
// user-data field was sent (events posted through the window server). False
// after `seconds`.
bool dispatchUntilTagged(int64_t tag, double seconds);

}  // namespace kestrovan::appkit_driver

NS_ASSUME_NONNULL_END
