// The platform port on AppKit, Foundation and GCD. It translates; it decides nothing.

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include <string>

#include "exceptions_mac.h"
#include "objects_mac.h"
#include "port/application.h"
#include "port/diagnostic_sink.h"
#include "port/main_queue.h"
#include "port/platform_exception.h"

namespace kestrovan::port {

namespace {

using mac::fromNSPoint;
using mac::toNSPoint;

class MacApplication final : public Application {
 public:
  WindowPtr windowWithWindowNumber(int64_t windowNumber) const override {
    return mac::wrapWindow([NSApp windowWithWindowNumber:static_cast<NSInteger>(windowNumber)]);
  }
  WindowPtr keyWindow() const override { return mac::wrapWindow(NSApp.keyWindow); }
  WindowPtr mainWindow() const override { return mac::wrapWindow(NSApp.mainWindow); }
  EventPtr currentEvent() const override { return mac::wrapEvent(NSApp.currentEvent); }
  bool isActive() const override { return NSApp.isActive; }
};

class MacMonitorToken final : public MonitorToken {
 public:
  explicit MacMonitorToken(id token) : token(token) {}
  id __strong token;
};

NSString* toNSString(std::string_view text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string ?: @"";
}

}  // namespace

Application* sharedApplication() {
  static MacApplication* application = new MacApplication();
  return NSApp != nil ? application : nullptr;
}

uint64_t pressedMouseButtons() { return static_cast<uint64_t>(NSEvent.pressedMouseButtons); }
Point mouseLocation() { return fromNSPoint(NSEvent.mouseLocation); }
double systemUptime() { return NSProcessInfo.processInfo.systemUptime; }
bool isMainThread() { return NSThread.isMainThread; }

EventPtr makeMouseEvent(const MouseEventParameters& p) {
  // It raises for a type that is not a mouse event type.
  NSEvent* event = mac::catchingExceptions<NSEvent*>(nil, [&] {
    return [NSEvent mouseEventWithType:static_cast<NSEventType>(p.type)
                              location:toNSPoint(p.location)
                         modifierFlags:static_cast<NSEventModifierFlags>(p.modifierFlags)
                             timestamp:p.timestamp
                          windowNumber:static_cast<NSInteger>(p.windowNumber)
                               context:nil
                           eventNumber:static_cast<NSInteger>(p.eventNumber)
                            clickCount:static_cast<NSInteger>(p.clickCount)
                              pressure:p.pressure];
  });
  return mac::wrapEvent(event);
}

MonitorTokenPtr addLocalMonitor(uint64_t mask, LocalMonitorHandler handler) {
  auto shared = std::make_shared<LocalMonitorHandler>(std::move(handler));
  NSEvent* _Nullable (^block)(NSEvent* _Nonnull) = ^NSEvent*(NSEvent* event) {
    // Keep the handler alive for this call even if it removes its own monitor.
    auto held = shared;
    // The handler makes AppKit calls of its own and calls JavaScript: nothing
    // it raises may unwind into AppKit's event dispatch. On an exception the
    // event goes on unchanged, and what the handler left kept is dropped (the
    // monitors fail silently), unless something was kept before it ran.
    const bool keptBefore = platformExceptionPending();
    NSEvent* answer = mac::catchingExceptions<NSEvent*>(event, [&]() -> NSEvent* {
      EventPtr passing = (*held)(mac::wrapEvent(event));
      return passing ? mac::unwrapEvent(passing.get()) : nil;
    });
    if (!keptBefore) takePlatformException();
    return answer;
  };
  id token = mac::catchingExceptions<id>(nil, [&] {
    return [NSEvent addLocalMonitorForEventsMatchingMask:static_cast<NSEventMask>(mask)
                                                 handler:block];
  });
  if (token == nil) return nullptr;
  return std::make_shared<MacMonitorToken>(token);
}

void removeMonitor(const MonitorTokenPtr& token) {
  auto* mac = dynamic_cast<MacMonitorToken*>(token.get());
  if (mac != nullptr && mac->token != nil) {
    mac::catchingExceptions([&] { [NSEvent removeMonitor:mac->token]; });
  }
}

void dispatchOnMainQueue(std::function<void()> block) {
  auto shared = std::make_shared<std::function<void()>>(std::move(block));
  dispatch_async(dispatch_get_main_queue(), ^{
    (*shared)();
  });
}

void dispatchOnMainQueueAfter(double seconds, std::function<void()> block) {
  auto shared = std::make_shared<std::function<void()>>(std::move(block));
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                 dispatch_get_main_queue(), ^{
                   (*shared)();
                 });
}

void writeDiagnosticLine(std::string_view tag, std::string_view message) {
  // The format is constant; the tag and the message are arguments, never formats.
  NSLog(@"%@%@", toNSString(tag), toNSString(message));
}

}  // namespace kestrovan::port
