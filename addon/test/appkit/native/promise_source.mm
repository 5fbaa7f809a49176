#include "promise_source.h"

#import <CoreGraphics/CoreGraphics.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "json_lines.h"

using kestrovan::appkit_driver::printJsonLine;

namespace {

constexpr CGFloat windowSide = 48;
// Real mouse steps: at most this far apart, this long between them.
constexpr double stepPoints = 8;
constexpr auto stepPause = std::chrono::milliseconds(12);
// How long the mouse rests on each point of the path (enter, updates).
constexpr auto restPause = std::chrono::milliseconds(200);

std::atomic<bool> sessionBegan{false};

id orNull(id _Nullable value) { return value ?: [NSNull null]; }

NSString* stringField(NSDictionary* item, NSString* key) {
  id value = item[key];
  return [value isKindOfClass:[NSString class]] ? value : nil;
}

void postMouse(CGEventType type, CGPoint point) {
  CGEventRef event = CGEventCreateMouseEvent(nullptr, type, point, kCGMouseButtonLeft);
  if (!event) return;
  CGEventPost(kCGHIDEventTap, event);
  CFRelease(event);
}

// Drags the real mouse from `from` to `to` in small steps.
void dragAlong(CGPoint from, CGPoint to) {
  const double distance = std::hypot(to.x - from.x, to.y - from.y);
  const int steps = std::max(1, static_cast<int>(std::ceil(distance / stepPoints)));
  for (int i = 1; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    postMouse(kCGEventLeftMouseDragged, CGPointMake(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t));
    std::this_thread::sleep_for(stepPause);
  }
}

}  // namespace

// One promised file of the drag and what its source does when called in.
@interface KestrovanSourcePromise : NSObject <NSFilePromiseProviderDelegate>
@property(nonatomic) NSUInteger index;
@property(nonatomic, copy) NSString* name;
@property(nonatomic, copy) NSString* contents;
@property(nonatomic) double delaySeconds;
@property(nonatomic, copy, nullable) NSString* error;
@property(nonatomic) BOOL never;
// The fractions published on the file while it is written (none: nothing published).
@property(nonatomic, copy) NSArray<NSNumber*>* progress;
@property(nonatomic, strong) NSOperationQueue* queue;
// Called on the main queue as writes start and finish.
@property(nonatomic, copy) void (^writeStarted)(void);
@property(nonatomic, copy) void (^writeFinished)(BOOL holding);
@end

@implementation KestrovanSourcePromise {
  // A promise that is never answered keeps its handler here: released, AppKit
  // would answer the drop target for it.
  NSMutableArray* _held;
}

- (NSString*)filePromiseProvider:(NSFilePromiseProvider*)provider fileNameForType:(NSString*)fileType {
  return self.name;
}

- (NSOperationQueue*)operationQueueForFilePromiseProvider:(NSFilePromiseProvider*)provider {
  return self.queue;
}

- (void)filePromiseProvider:(NSFilePromiseProvider*)provider
          writePromiseToURL:(NSURL*)url
          completionHandler:(void (^)(NSError* _Nullable errorOrNil))completionHandler {
  void (^handler)(NSError* _Nullable) = [completionHandler copy];
  NSUInteger index = self.index;
  NSString* path = url.path ?: @"";
  dispatch_async(dispatch_get_main_queue(), ^{
    self.writeStarted();
    printJsonLine(@{@"event" : @"write", @"index" : @(index), @"path" : path});
  });
  if (self.never) {
    dispatch_async(dispatch_get_main_queue(), ^{
      if (!self->_held) self->_held = [NSMutableArray array];
      [self->_held addObject:handler];
      printJsonLine(@{@"event" : @"holding", @"index" : @(index)});
      self.writeFinished(YES);
    });
    return;
  }
  // Published as an app that writes a large file does, while it writes: each
  // fraction in turn, spread over the delay.
  NSArray<NSNumber*>* fractions = self.progress;
  NSProgress* progress = [NSProgress discreteProgressWithTotalUnitCount:1000];
  progress.kind = NSProgressKindFile;
  progress.fileOperationKind = NSProgressFileOperationKindCopying;
  progress.fileURL = url;
  if (fractions.count > 0) {
    progress.completedUnitCount = static_cast<int64_t>(fractions.firstObject.doubleValue * 1000);
    [progress publish];
  }
  NSString* failure = self.error;
  NSData* data = [self.contents dataUsingEncoding:NSUTF8StringEncoding] ?: [NSData data];
  const double delay = self.delaySeconds;
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0), ^{
    const double pause = delay / static_cast<double>(fractions.count + 1);
    for (NSUInteger i = 1; i < fractions.count; ++i) {
      [NSThread sleepForTimeInterval:pause];
      progress.completedUnitCount = static_cast<int64_t>(fractions[i].doubleValue * 1000);
    }
    [NSThread sleepForTimeInterval:fractions.count > 0 ? 2 * pause : delay];
    NSError* error = nil;
    if (failure != nil) {
      error = [NSError errorWithDomain:@"KestrovanPromiseSource"
                                  code:1
                              userInfo:@{NSLocalizedDescriptionKey : failure}];
    } else {
      [data writeToURL:url options:0 error:&error];
    }
    if (fractions.count > 0) [progress unpublish];
    handler(error);
    dispatch_async(dispatch_get_main_queue(), ^{
      if (error) {
        printJsonLine(@{
          @"event" : @"writeFailed",
          @"index" : @(index),
          @"path" : path,
          @"error" : orNull(error.localizedDescription)
        });
      } else {
        printJsonLine(@{@"event" : @"written", @"index" : @(index), @"path" : path});
      }
      self.writeFinished(NO);
    });
  });
}

@end

// The source's window content: begins the drag on the first mouse drag, and
// is the drag's source.
@interface KestrovanDragSourceView : NSView <NSDraggingSource>
@property(nonatomic, strong) NSArray<id<NSPasteboardWriting>>* writers;
@property(nonatomic, copy) void (^ended)(NSDragOperation operation);
@end

@implementation KestrovanDragSourceView

- (BOOL)acceptsFirstMouse:(nullable NSEvent*)event {
  return YES;
}

- (void)drawRect:(NSRect)dirtyRect {
  [NSColor.systemBlueColor setFill];
  NSRectFill(self.bounds);
}

- (void)mouseDown:(NSEvent*)event {
}

- (void)mouseDragged:(NSEvent*)event {
  if (sessionBegan) return;
  NSImage* image = [NSImage imageWithSize:NSMakeSize(32, 32)
                                  flipped:NO
                           drawingHandler:^BOOL(NSRect rect) {
                             [NSColor.systemOrangeColor setFill];
                             NSRectFill(rect);
                             return YES;
                           }];
  NSMutableArray<NSDraggingItem*>* items = [NSMutableArray array];
  for (id<NSPasteboardWriting> writer in self.writers) {
    NSDraggingItem* item = [[NSDraggingItem alloc] initWithPasteboardWriter:writer];
    [item setDraggingFrame:NSMakeRect(8, 8, 32, 32) contents:image];
    [items addObject:item];
  }
  [self beginDraggingSessionWithItems:items event:event source:self];
  sessionBegan = true;
  printJsonLine(@{@"event" : @"began"});
}

- (NSDragOperation)draggingSession:(NSDraggingSession*)session
    sourceOperationMaskForDraggingContext:(NSDraggingContext)context {
  return context == NSDraggingContextOutsideApplication ? NSDragOperationCopy : NSDragOperationNone;
}

- (void)draggingSession:(NSDraggingSession*)session
           endedAtPoint:(NSPoint)screenPoint
              operation:(NSDragOperation)operation {
  self.ended(operation);
}

@end

namespace kestrovan::appkit_driver {

int runPromiseSource(const SourceOptions& options) {
  if (!CGPreflightPostEventAccess()) {
    printJsonLine(@{@"event" : @"failed", @"message" : @"this process may not post events"});
    return 6;
  }
  [NSApplication sharedApplication];
  [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
  [NSApp finishLaunching];

  NSOperationQueue* writes NS_VALID_UNTIL_END_OF_SCOPE = [[NSOperationQueue alloc] init];
  __block int writesRunning = 0;
  __block bool holding = false;
  __block bool ended = false;
  __block NSDate* endedAt = nil;

  NSMutableArray<id<NSPasteboardWriting>>* writers = [NSMutableArray array];
  // The providers' delegates (a provider holds its delegate weakly).
  NSMutableArray<KestrovanSourcePromise*>* promises NS_VALID_UNTIL_END_OF_SCOPE = [NSMutableArray array];
  for (id object in options.items) {
    if (![object isKindOfClass:[NSDictionary class]]) continue;
    NSDictionary* item = object;
    NSString* kind = stringField(item, @"kind");
    if ([kind isEqualToString:@"file"]) {
      NSString* path = stringField(item, @"path");
      if (path) [writers addObject:[NSURL fileURLWithPath:path]];
    } else if ([kind isEqualToString:@"promise"]) {
      KestrovanSourcePromise* promise = [[KestrovanSourcePromise alloc] init];
      promise.index = writers.count;
      promise.name = stringField(item, @"name") ?: @"promised file";
      promise.contents = stringField(item, @"contents") ?: @"";
      id delay = item[@"delayMs"];
      promise.delaySeconds = [delay isKindOfClass:[NSNumber class]] ? [delay doubleValue] / 1000 : 0;
      promise.error = stringField(item, @"error");
      promise.never = [item[@"never"] isEqual:@YES];
      NSMutableArray<NSNumber*>* fractions = [NSMutableArray array];
      id listed = item[@"progress"];
      for (id fraction in [listed isKindOfClass:[NSArray class]] ? listed : @[]) {
        if ([fraction isKindOfClass:[NSNumber class]]) [fractions addObject:fraction];
      }
      promise.progress = fractions;
      promise.queue = writes;
      promise.writeStarted = ^{
        writesRunning += 1;
      };
      promise.writeFinished = ^(BOOL held) {
        writesRunning -= 1;
        if (held) holding = true;
      };
      NSFilePromiseProvider* provider = [[NSFilePromiseProvider alloc] initWithFileType:@"public.data"
                                                                               delegate:promise];
      [promises addObject:promise];
      [writers addObject:provider];
    }
  }

  // The window, at `start` (AppKit's screen points grow up from the main
  // display's bottom).
  const CGFloat mainTop = NSMaxY(NSScreen.screens.firstObject.frame);
  NSRect frame =
      NSMakeRect(options.start.x - windowSide / 2, mainTop - options.start.y - windowSide / 2, windowSide, windowSide);
  NSWindow* window NS_VALID_UNTIL_END_OF_SCOPE = [[NSWindow alloc] initWithContentRect:frame
                                                                             styleMask:NSWindowStyleMaskBorderless
                                                                               backing:NSBackingStoreBuffered
                                                                                 defer:NO];
  window.releasedWhenClosed = NO;
  window.level = NSStatusWindowLevel;
  KestrovanDragSourceView* view =
      [[KestrovanDragSourceView alloc] initWithFrame:NSMakeRect(0, 0, windowSide, windowSide)];
  view.writers = writers;
  view.ended = ^(NSDragOperation operation) {
    ended = true;
    endedAt = [NSDate date];
    printJsonLine(@{@"event" : @"ended", @"operation" : @(operation)});
  };
  window.contentView = view;
  [window orderFrontRegardless];

  // The real mouse, from a thread of its own: the drag's loop runs on the
  // main thread.
  const SourceOptions copy = options;
  std::thread([copy] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    postMouse(kCGEventLeftMouseDown, copy.start);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CGPoint at = copy.start;
    // Far enough for AppKit to see a drag begin.
    for (int i = 0; i < 40 && !sessionBegan; ++i) {
      const CGPoint next = CGPointMake(copy.start.x + 2 * (i % 3 + 1), copy.start.y);
      dragAlong(at, next);
      at = next;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!sessionBegan) {
      postMouse(kCGEventLeftMouseUp, at);
      dispatch_async(dispatch_get_main_queue(), ^{
        printJsonLine(@{@"event" : @"failed", @"message" : @"the drag did not begin from the source's window"});
        exit(6);
      });
      return;
    }
    // From one point of the path to the next in one move, as the sim's
    // drags go: the drag comes into the window at the first point.
    for (const CGPoint& point : copy.path) {
      for (int i = 0; i < 2; ++i) {
        postMouse(kCGEventLeftMouseDragged, point);
        std::this_thread::sleep_for(stepPause);
      }
      at = point;
      std::this_thread::sleep_for(restPause);
    }
    if (!copy.drop) {
      // Back over the source's own window, which takes no drop.
      postMouse(kCGEventLeftMouseDragged, copy.start);
      at = copy.start;
      std::this_thread::sleep_for(restPause);
    }
    postMouse(kCGEventLeftMouseUp, at);
  }).detach();

  // Serves the promises until they are written (holding a never-answered one
  // until the timeout or until it is ended), then leaves.
  const pid_t parent = getppid();
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:options.timeout];
  while (true) {
    @autoreleasepool {
      NSEvent* event = [NSApp nextEventMatchingMask:NSEventMaskAny
                                          untilDate:[NSDate dateWithTimeIntervalSinceNow:0.05]
                                             inMode:NSDefaultRunLoopMode
                                            dequeue:YES];
      if (event) [NSApp sendEvent:event];
    }
    if (getppid() != parent) return 0;
    if (ended && !holding && writesRunning == 0 && -[endedAt timeIntervalSinceNow] > 1.5) break;
    if ([deadline timeIntervalSinceNow] <= 0) {
      printJsonLine(@{@"event" : @"timeout", @"holding" : @(holding), @"ended" : @(ended)});
      return 3;
    }
  }
  [window orderOut:nil];
  printJsonLine(@{@"event" : @"done"});
  return 0;
}

}  // namespace kestrovan::appkit_driver
