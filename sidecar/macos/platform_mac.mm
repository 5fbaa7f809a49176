// Objective-C++ with ARC: the Objective-C and dispatch objects held in the
// containers below are strong references that ARC releases.
#include "macos/platform_mac.h"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrovan::sidecar {
namespace {

NSPasteboard* dragPasteboard() { return [NSPasteboard pasteboardWithName:NSPasteboardNameDrag]; }

void writeToHandle(NSFileHandle* handle, std::string_view bytes) {
  // writeData: hands the bytes to write(2) unbuffered.
  [handle writeData:[NSData dataWithBytes:bytes.data() length:bytes.size()]];
}

}  // namespace

struct MacPlatform::State {
  // The App Nap opt-out: held, never ended, until the process ends.
  id<NSObject> activity;
  std::uint64_t nextToken = 1;
  std::map<MonitorToken, id> monitors;
  std::map<TimerToken, dispatch_source_t> timers;
  // terminationSignalSources: kept alive until the process ends.
  std::vector<dispatch_source_t> signalSources;
  dispatch_source_t parentExitSource;
  // NSFilePromiseReceiver.readableDraggedTypes, read once: a class property
  // of AppKit's, the same for the life of the process.
  std::optional<std::vector<std::string>> filePromiseReadableTypes;
};

MacPlatform::MacPlatform() : state_(std::make_unique<State>()) {}
MacPlatform::~MacPlatform() = default;

std::optional<std::string> MacPlatform::connectToWindowServer() {
  return std::nullopt;  // AppKit connects on first use
}

void MacPlatform::activateAsAccessory() {
  // The result is not looked at.
  [[NSApplication sharedApplication] setActivationPolicy:NSApplicationActivationPolicyAccessory];
  // A window-less accessory application is a candidate for App Nap, which
  // would coalesce and delay its 50 ms timer; a user-initiated activity keeps
  // App Nap away and still lets the machine sleep when idle. (Latency-critical
  // is for audio and video recording, not for a 50 ms timer.) The returned
  // token ends the activity when released; the state keeps it for the
  // process's life.
  state_->activity = [[NSProcessInfo processInfo]
      beginActivityWithOptions:NSActivityUserInitiatedAllowingIdleSystemSleep
                        reason:@"Watching drags toward the tray for the application"];
}

ScreenPoint MacPlatform::mouseLocation() {
  const NSPoint point = [NSEvent mouseLocation];
  return ScreenPoint{point.x, point.y};
}

std::uint64_t MacPlatform::pressedMouseButtons() {
  return static_cast<std::uint64_t>([NSEvent pressedMouseButtons]);
}

bool MacPlatform::hardwareLeftButtonDown() {
  return CGEventSourceButtonState(kCGEventSourceStateHIDSystemState, kCGMouseButtonLeft);
}

std::int64_t MacPlatform::dragPasteboardChangeCount() {
  return static_cast<std::int64_t>([dragPasteboard() changeCount]);
}

bool MacPlatform::dragPasteboardCanReadFileURLs() {
  return [dragPasteboard() canReadObjectForClasses:@[ [NSURL class] ]
                                           options:@{
                                             NSPasteboardURLReadingFileURLsOnlyKey : @YES
                                           }];
}

std::optional<std::vector<std::string>> MacPlatform::dragPasteboardTypes() {
  NSArray<NSPasteboardType>* types = [dragPasteboard() types];
  if (types == nil) return std::nullopt;
  std::vector<std::string> names;
  names.reserve(types.count);
  for (NSPasteboardType type in types) {
    const char* utf8 = type.UTF8String;
    names.emplace_back(utf8 != nullptr ? utf8 : "");
  }
  return names;
}

std::vector<std::string> MacPlatform::filePromiseReadableTypes() {
  if (!state_->filePromiseReadableTypes) {
    NSArray<NSString*>* types = NSFilePromiseReceiver.readableDraggedTypes;
    std::vector<std::string> names;
    names.reserve(types.count);
    for (NSString* type in types) {
      const char* utf8 = type.UTF8String;
      if (utf8 != nullptr) names.emplace_back(utf8);
    }
    state_->filePromiseReadableTypes = std::move(names);
  }
  return *state_->filePromiseReadableTypes;
}

std::optional<MonitorToken> MacPlatform::addGlobalMonitor(std::uint64_t mask,
                                                          std::function<void()> handler) {
  id monitor = [NSEvent addGlobalMonitorForEventsMatchingMask:static_cast<NSEventMask>(mask)
                                                      handler:^(NSEvent* /*event*/) {
                                                        handler();
                                                      }];
  if (monitor == nil) return std::nullopt;
  const MonitorToken token = state_->nextToken++;
  state_->monitors[token] = monitor;
  return token;
}

void MacPlatform::removeMonitor(MonitorToken token) {
  const auto found = state_->monitors.find(token);
  if (found == state_->monitors.end()) return;
  [NSEvent removeMonitor:found->second];
  state_->monitors.erase(found);
}

// Global monitors see no event that goes to this process, and the drag
// pasteboard posts no change notification: the 50 ms tick runs all the time.
bool MacPlatform::monitorsSeeEveryPress() { return false; }

std::optional<MonitorToken> MacPlatform::addDragPasteboardChangeMonitor(
    std::function<void()> /*handler*/) {
  return std::nullopt;
}

std::optional<TimerToken> MacPlatform::startRepeatingTimer(std::chrono::nanoseconds interval,
                                                           std::function<void()> tick) {
  dispatch_source_t timer =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
  if (timer == nil) return std::nullopt;
  dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, 0),
                            static_cast<std::uint64_t>(interval.count()), 0);
  dispatch_source_set_event_handler(timer, ^{
    tick();
  });
  dispatch_resume(timer);
  const TimerToken token = state_->nextToken++;
  state_->timers[token] = timer;
  return token;
}

void MacPlatform::cancelTimer(TimerToken token) {
  const auto found = state_->timers.find(token);
  if (found == state_->timers.end()) return;
  dispatch_source_cancel(found->second);
  state_->timers.erase(found);
}

void MacPlatform::disableDefaultSignalAction(int signalNumber) {
  // Ignored signals still reach dispatch signal sources (they watch through
  // kqueue, which sees a signal whatever its disposition).
  signal(signalNumber, SIG_IGN);
}

void MacPlatform::addSignalSource(int signalNumber, std::function<void()> handler) {
  dispatch_source_t source =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(signalNumber), 0,
                             dispatch_get_main_queue());
  if (source == nil) return;
  dispatch_source_set_event_handler(source, ^{
    handler();
  });
  dispatch_resume(source);
  state_->signalSources.push_back(source);
}

ProcessId MacPlatform::parentProcessId() { return getppid(); }

void MacPlatform::sendSignalOnParentExit(ProcessId parent, int signalNumber) {
  // A process that has already ended cannot be watched (the source then never
  // fires); the core reads the parent again after this returns.
  dispatch_source_t source =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_PROC, static_cast<uintptr_t>(parent),
                             DISPATCH_PROC_EXIT, dispatch_get_main_queue());
  if (source != nil) {
    // The signal source sees the signal whatever its disposition (kqueue).
    dispatch_source_set_event_handler(source, ^{
      kill(getpid(), signalNumber);
    });
    dispatch_resume(source);
    state_->parentExitSource = source;
  }
}

int MacPlatform::runMainLoop() {
  // The application's event loop, which delivers the global monitors' events
  // and drains the main queue. It returns only if the application stops.
  [[NSApplication sharedApplication] run];
  return 0;
}

void MacPlatform::exitProcess(int status) { std::exit(status); }

void MacPlatform::writeStandardOutput(std::string_view bytes) {
  writeToHandle([NSFileHandle fileHandleWithStandardOutput], bytes);
}

void MacPlatform::writeStandardError(std::string_view bytes) {
  writeToHandle([NSFileHandle fileHandleWithStandardError], bytes);
}

}  // namespace kestrovan::sidecar
