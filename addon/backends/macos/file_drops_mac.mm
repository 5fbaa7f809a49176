// Drop zones on AppKit (port/file_drops.h): KestrovanFileDropView, a
// transparent view over one rectangle of a window's content, above the web
// contents, that is the drag destination for files and file promises there;
// KestrovanPromiseReceipt, one promised file being received.
//
// How AppKit routes drags, and why the view's hitTest: is not simply nil.
// AppKit's documentation says hitTest: is "used primarily by an NSWindow
// object to determine which view should receive a mouse-down event", and that
// a view registered with registerForDraggedTypes: receives draggingEntered:
// "when the mouse pointer enters the destination's bounds". It does not say
// how the destination under the pointer is found. It is found by hit-testing
// too: for each drag message the window hit-tests the pointer and walks UP
// from the view it finds to the first one registered for a type the drag
// carries; siblings are never considered. A view whose hitTest: always answers
// nil therefore never receives a drag: the hit test falls through to the web
// contents below (registered for files itself), and the web contents get the
// drop. A view that always answers itself takes every click over the zone from
// the page.
//
// So hitTest: tells the two kinds of routing apart by what happens at the
// moment, not by who asks:
// - a drag from another application holds the left mouse button down
//   (NSEvent.pressedMouseButtons, the devices' state now, whether or not any
//   event reached this application), and its messages reach the window
//   through Core Drag's own messages, not as NSEvents: NSApp.currentEvent is
//   then whatever this application saw last, never a mouse-down (a mouse-down
//   here is always followed by its mouse-up before another application's drag
//   can begin);
// - a click, a mouse move, a scroll or the page's own mouse drag is routed
//   while that event is NSApp.currentEvent: a mouse-down, a scroll or a gesture
//   with the button held, or any event with the button up.
// The view answers itself only while the left button is held and the current
// event is none of the events that route by clicking (and, once a drag has
// entered, for as long as it stays: AppKit may hit-test again for the drop
// after the button went up). A mouse-down always reaches the page. Drags that
// begin in this application itself are left to the web contents
// (draggingSource is non-nil only for those).
//
// Promised files are received with
// receivePromisedFilesAtDestination:options:operationQueue:reader: on an
// NSOperationQueue of the zone's own, never the main queue: for an
// NSFilePromiseProvider source AppKit wraps the reader's call in a coordinated
// read, which waits on that queue until the source has written the file (and
// forever for a source that never answers), so the queue runs its operations
// concurrently. Each answer goes on to the core on the main queue.

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "exceptions_mac.h"
#include "objects_mac.h"
#include "port/file_drops.h"
#include "port/platform_exception.h"

using kestrovan::port::FileDropZoneClient;
using kestrovan::port::IncomingDragItem;
using kestrovan::port::PromiseReceiptSinkPtr;

namespace {

NSString* toNSString(const std::string& text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string ?: @"";
}

std::string fromNSString(NSString* _Nullable string) {
  const char* utf8 = string.UTF8String;
  return utf8 ? std::string(utf8) : std::string();
}

constexpr char kNoReason[] = "the source could not provide the file";

// The events whose routing is a click's: while one of them is being sent, the
// page gets the point.
bool routesLikeAClick(NSEventType type) {
  switch (type) {
    case NSEventTypeLeftMouseDown:
    case NSEventTypeRightMouseDown:
    case NSEventTypeOtherMouseDown:
    case NSEventTypeLeftMouseDragged:
    case NSEventTypeRightMouseDragged:
    case NSEventTypeOtherMouseDragged:
    case NSEventTypeScrollWheel:
    case NSEventTypeMagnify:
    case NSEventTypeSwipe:
    case NSEventTypeRotate:
    case NSEventTypeBeginGesture:
    case NSEventTypeEndGesture:
    case NSEventTypeSmartMagnify:
    case NSEventTypePressure:
      return true;
    default:
      return false;
  }
}

bool isMouseDown(NSEventType type) {
  return type == NSEventTypeLeftMouseDown || type == NSEventTypeRightMouseDown ||
         type == NSEventTypeOtherMouseDown;
}

// The pasteboard reading both draggingEntered: and performDragOperation: use:
// promises first (an item that offers both a promise and a URL is a promise),
// then file URLs only (a web page's http URL is no file).
NSArray<Class>* itemClasses() { return @[ [NSFilePromiseReceiver class], [NSURL class] ]; }
NSDictionary<NSPasteboardReadingOptionKey, id>* itemOptions() {
  return @{NSPasteboardURLReadingFileURLsOnlyKey : @YES};
}

}  // namespace

// ---- One promised file being received

// Holds the core's sink from the receipt's start until AppKit lets go of the
// reader block (which may be never: a source may never answer), and the
// progress subscription on the drop's folder until the first answer.
@interface KestrovanPromiseReceipt : NSObject
- (instancetype)initWithSink:(PromiseReceiptSinkPtr)sink NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
// Subscribes to the progress published on what `folder` directly holds: the
// drop's folder, shared by every receiver of the drop. Progress on a file
// `receiver` names (fileNames) is this item's; so is any, when `sole` (the
// drop's only promise). Main thread.
- (void)watchProgressIn:(NSURL*)folder ofReceiver:(NSFilePromiseReceiver*)receiver sole:(BOOL)sole;
// One answer of the reader (main thread): the first is the sink's answer, the
// rest go to the sink after it (the core removes what they delivered).
- (void)answerWithPath:(NSString* _Nullable)path error:(NSString* _Nullable)message;
// Ends the progress subscription. Idempotent.
- (void)stopWatching;
@end

// Reports one published progress of the item to its receipt until withdrawn.
@interface KestrovanPromiseProgressObserver : NSObject
- (instancetype)initWithProgress:(NSProgress*)progress
                         receipt:(KestrovanPromiseReceipt*)receipt NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
+ (instancetype)new NS_UNAVAILABLE;
- (void)withdraw;
@end

@interface KestrovanPromiseReceipt ()
- (void)progressFraction:(double)fraction;
@end

@implementation KestrovanPromiseReceipt {
  PromiseReceiptSinkPtr _sink;
  id _subscriber;
  NSMutableArray<KestrovanPromiseProgressObserver*>* _observers;
  BOOL _answered;
}

// C++ members: nothing reaches them by key-value coding.
+ (BOOL)accessInstanceVariablesDirectly {
  return NO;
}

- (instancetype)initWithSink:(PromiseReceiptSinkPtr)sink {
  self = [super init];
  if (self) {
    _sink = std::move(sink);
    _observers = [NSMutableArray array];
  }
  return self;
}

- (void)watchProgressIn:(NSURL*)folder ofReceiver:(NSFilePromiseReceiver*)receiver sole:(BOOL)sole {
  __weak KestrovanPromiseReceipt* weakSelf = self;
  __weak NSFilePromiseReceiver* weakReceiver = receiver;
  // Handlers are called on the main thread.
  _subscriber = kestrovan::mac::catchingExceptions<id>(nil, [&]() -> id {
    return [NSProgress
        addSubscriberForFileURL:folder
          withPublishingHandler:^NSProgressUnpublishingHandler _Nullable(NSProgress* progress) {
            KestrovanPromiseReceipt* receipt = weakSelf;
            if (receipt == nil || receipt->_answered) return nil;
            // Another item's file in the drop's folder is not this one's.
            const bool mine = sole || kestrovan::mac::catchingExceptions<bool>(false, [&] {
                                NSString* name = progress.fileURL.lastPathComponent;
                                return name != nil && [weakReceiver.fileNames containsObject:name];
                              });
            if (!mine) return nil;
            KestrovanPromiseProgressObserver* observer =
                [[KestrovanPromiseProgressObserver alloc] initWithProgress:progress
                                                                   receipt:receipt];
            [receipt->_observers addObject:observer];
            return ^{
              [observer withdraw];
            };
          }];
  });
}

- (void)stopWatching {
  id subscriber = _subscriber;
  _subscriber = nil;
  if (subscriber != nil) {
    kestrovan::mac::catchingExceptions([&] { [NSProgress removeSubscriber:subscriber]; });
  }
  NSArray<KestrovanPromiseProgressObserver*>* observers = [_observers copy];
  [_observers removeAllObjects];
  for (KestrovanPromiseProgressObserver* observer in observers) [observer withdraw];
}

- (void)progressFraction:(double)fraction {
  if (_answered || !_sink) return;
  _sink->promiseProgress(fraction);
}

- (void)answerWithPath:(NSString* _Nullable)path error:(NSString* _Nullable)message {
  const bool first = !_answered;
  _answered = YES;
  if (first) [self stopWatching];
  if (!_sink) return;
  // The sink is the core's; it may be the last holder of the core's drop.
  PromiseReceiptSinkPtr sink = _sink;
  if (message != nil) {
    std::string reason = fromNSString(message);
    sink->promiseFailed(reason.empty() ? std::string(kNoReason) : reason);
  } else {
    sink->promiseReceived(fromNSString(path));
  }
}

- (void)dealloc {
  if (_subscriber != nil) [NSProgress removeSubscriber:_subscriber];
}

@end

@implementation KestrovanPromiseProgressObserver {
  NSProgress* _progress;
  __weak KestrovanPromiseReceipt* _receipt;
  BOOL _observing;
}

- (instancetype)initWithProgress:(NSProgress*)progress receipt:(KestrovanPromiseReceipt*)receipt {
  self = [super init];
  if (self) {
    _progress = progress;
    _receipt = receipt;
    kestrovan::mac::catchingExceptions([&] {
      [progress addObserver:self
                 forKeyPath:@"fractionCompleted"
                    options:NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew
                    context:nil];
      _observing = YES;
    });
  }
  return self;
}

- (void)observeValueForKeyPath:(nullable NSString*)keyPath
                      ofObject:(nullable id)object
                        change:(nullable NSDictionary<NSKeyValueChangeKey, id>*)change
                       context:(nullable void*)context {
  NSNumber* fraction = change[NSKeyValueChangeNewKey];
  if (![fraction isKindOfClass:[NSNumber class]]) return;
  const double value = fraction.doubleValue;
  __weak KestrovanPromiseReceipt* weakReceipt = _receipt;
  // Observed on whatever thread the proxy updates on; told on the main queue.
  dispatch_async(dispatch_get_main_queue(), ^{
    [weakReceipt progressFraction:value];
  });
}

- (void)withdraw {
  if (!_observing) return;
  _observing = NO;
  kestrovan::mac::catchingExceptions(
      [&] { [_progress removeObserver:self forKeyPath:@"fractionCompleted" context:nil]; });
}

- (void)dealloc {
  [self withdraw];
}

@end

// ---- The view over the zone

@interface KestrovanFileDropView : NSView
- (instancetype)initWithClient:(std::weak_ptr<FileDropZoneClient>)client
                        window:(NSWindow*)window NS_DESIGNATED_INITIALIZER;
- (instancetype)initWithFrame:(NSRect)frameRect NS_UNAVAILABLE;
- (nullable instancetype)initWithCoder:(NSCoder*)coder NS_UNAVAILABLE;
// Places the view over `rect` (content points, top left) of the content view.
- (void)placeOver:(kestrovan::port::Rect)rect;
// Removes the view and stops observing; nothing reaches the client after it.
// Idempotent.
- (void)detach;
@end

namespace {

// The promises of the drop being performed, lent to the client.
class MacIncomingPromises final : public kestrovan::port::IncomingPromises {
 public:
  MacIncomingPromises(NSArray* items, NSOperationQueue* queue, NSHashTable* receipts)
      : items_(items), queue_(queue), receipts_(receipts), started_(items.count, false) {
    for (id item in items) {
      if ([item isKindOfClass:[NSFilePromiseReceiver class]]) ++promiseCount_;
    }
  }

  void receive(size_t itemIndex, const std::string& folder, PromiseReceiptSinkPtr sink) override {
    if (!sink) return;
    KestrovanPromiseReceipt* receipt = [[KestrovanPromiseReceipt alloc] initWithSink:sink];
    NSFilePromiseReceiver* receiver = nil;
    if (itemIndex < items_.count && !started_[itemIndex] &&
        [items_[itemIndex] isKindOfClass:[NSFilePromiseReceiver class]]) {
      receiver = items_[itemIndex];
    }
    if (receiver == nil) {
      failLater(receipt, @"this item of the drop is not a file promise, or was received already");
      return;
    }
    started_[itemIndex] = true;
    [receipts_ addObject:receipt];
    // NSFilePromiseReceiver.h asks that every receiver of one drag be given
    // the same destination: the core gives every item of a drop the drop's
    // one folder.
    NSURL* destination = [NSURL fileURLWithPath:toNSString(folder) isDirectory:YES];
    [receipt watchProgressIn:destination ofReceiver:receiver sole:promiseCount_ <= 1];
    // The reader runs on `queue_`, wrapped in a coordinated read of the file
    // when the source is an NSFilePromiseProvider: it only copies out what it
    // was given.
    // It holds the receipt (and so the sink) strongly, as long as AppKit
    // holds it.
    void (^reader)(NSURL*, NSError* _Nullable) = ^(NSURL* fileURL, NSError* _Nullable error) {
      NSString* path = error == nil ? [fileURL.path copy] : nil;
      NSString* message = nil;
      if (error != nil) message = [error.localizedDescription copy] ?: @"";
      dispatch_async(dispatch_get_main_queue(), ^{
        [receipt answerWithPath:path error:message];
      });
    };
    const bool pendingBefore = kestrovan::port::platformExceptionPending();
    const bool started = kestrovan::mac::catchingExceptions<bool>(false, [&] {
      [receiver receivePromisedFilesAtDestination:destination
                                          options:@{}
                                   operationQueue:queue_
                                           reader:reader];
      return true;
    });
    if (!started) {
      // What AppKit raised is this item's failure, told through its sink.
      std::string reason = kNoReason;
      if (!pendingBefore) {
        if (auto kept = kestrovan::port::takePlatformException()) {
          reason = kept->name + ": " + kept->reason;
        }
      }
      [receipt stopWatching];
      failLater(receipt, toNSString("the promised file could not be received (" + reason + ")"));
    }
  }

 private:
  // Answers in a later turn of the main thread, never inside the core's call.
  static void failLater(KestrovanPromiseReceipt* receipt, NSString* message) {
    dispatch_async(dispatch_get_main_queue(), ^{
      [receipt answerWithPath:nil error:message];
    });
  }

  NSArray* __strong items_;
  NSOperationQueue* __strong queue_;
  NSHashTable* __strong receipts_;
  std::vector<bool> started_;
  size_t promiseCount_ = 0;
};

}  // namespace

@implementation KestrovanFileDropView {
  std::weak_ptr<FileDropZoneClient> _client;
  __weak NSWindow* _window;
  kestrovan::port::Rect _rect;
  NSOperationQueue* _queue;
  // The zone's receipts (weakly): their progress is no longer followed once
  // the zone is closed.
  NSHashTable<KestrovanPromiseReceipt*>* _receipts;
  id _windowObserver;
  id _frameObserver;
  BOOL _detached;
  // A drag that carries files came over the zone and was told to the client.
  BOOL _dragInside;
}

+ (BOOL)accessInstanceVariablesDirectly {
  return NO;
}

- (instancetype)initWithClient:(std::weak_ptr<FileDropZoneClient>)client window:(NSWindow*)window {
  self = [super initWithFrame:NSZeroRect];
  if (self) {
    _client = std::move(client);
    _window = window;
    _queue = [[NSOperationQueue alloc] init];
    _queue.name = @"Kestrovan file drops";
    _queue.qualityOfService = NSQualityOfServiceUserInitiated;
    _receipts = [NSHashTable weakObjectsHashTable];
    [self registerForDraggedTypes:[NSFilePromiseReceiver.readableDraggedTypes
                                      arrayByAddingObject:NSPasteboardTypeFileURL]];

    __weak KestrovanFileDropView* weakSelf = self;
    _windowObserver =
        [NSNotificationCenter.defaultCenter addObserverForName:NSWindowWillCloseNotification
                                                        object:window
                                                         queue:NSOperationQueue.mainQueue
                                                    usingBlock:^(NSNotification* note) {
                                                      [weakSelf windowWillClose];
                                                    }];
  }
  return self;
}

- (BOOL)isOpaque {
  return NO;
}

// The content view's own geometry: the rectangle as a frame in it, kept at its
// distance from the content's top left.
- (void)placeOver:(kestrovan::port::Rect)rect {
  _rect = rect;
  [self relayout];
}

- (void)relayout {
  NSView* content = self.superview;
  if (content == nil) return;
  const double width = _rect.maxX() - _rect.minX();
  const double height = _rect.maxY() - _rect.minY();
  const NSRect bounds = content.bounds;
  const double y =
      content.isFlipped ? NSMinY(bounds) + _rect.minY() : NSMaxY(bounds) - _rect.minY() - height;
  self.frame = NSMakeRect(NSMinX(bounds) + _rect.minX(), y, width, height);
  // The margin towards the content's top stays fixed: AppKit moves the view
  // as the window resizes, and relayout (on the content's frame changes) puts
  // it exactly where the rectangle says.
  self.autoresizingMask =
      NSViewMaxXMargin | (content.isFlipped ? NSViewMaxYMargin : NSViewMinYMargin);
  // An empty rectangle takes no drags: hidden views are never hit.
  self.hidden = width <= 0 || height <= 0;
}

- (void)attachTo:(NSView*)content {
  [content addSubview:self positioned:NSWindowAbove relativeTo:nil];
  __weak KestrovanFileDropView* weakSelf = self;
  _frameObserver =
      [NSNotificationCenter.defaultCenter addObserverForName:NSViewFrameDidChangeNotification
                                                      object:content
                                                       queue:nil
                                                  usingBlock:^(NSNotification* note) {
                                                    [weakSelf relayout];
                                                  }];
  [self relayout];
}

- (void)detach {
  if (_detached) return;
  _detached = YES;
  _dragInside = NO;
  if (_windowObserver != nil) [NSNotificationCenter.defaultCenter removeObserver:_windowObserver];
  if (_frameObserver != nil) [NSNotificationCenter.defaultCenter removeObserver:_frameObserver];
  _windowObserver = nil;
  _frameObserver = nil;
  [self unregisterDraggedTypes];
  [self removeFromSuperview];
  for (KestrovanPromiseReceipt* receipt in _receipts.allObjects) [receipt stopWatching];
  [_receipts removeAllObjects];
}

- (void)windowWillClose {
  if (_detached) return;
  [self detach];
  // Told in a later turn, as the port promises; not at all if the core
  // closed the zone meanwhile (it knows then).
  std::weak_ptr<FileDropZoneClient> weakClient = _client;
  dispatch_async(dispatch_get_main_queue(), ^{
    if (auto client = weakClient.lock()) client->fileDropZoneWindowClosed();
  });
  _client.reset();
}

- (void)dealloc {
  if (_windowObserver != nil) [NSNotificationCenter.defaultCenter removeObserver:_windowObserver];
  if (_frameObserver != nil) [NSNotificationCenter.defaultCenter removeObserver:_frameObserver];
}

// See the top of this file.
- (nullable NSView*)hitTest:(NSPoint)point {
  NSView* hit = [super hitTest:point];
  if (hit == nil || _detached) return nil;
  NSEvent* current = NSApp.currentEvent;
  if (current != nil && isMouseDown(current.type)) return nil;
  if (_dragInside) return hit;
  const bool leftHeld = (NSEvent.pressedMouseButtons & 1) != 0;
  if (!leftHeld) return nil;
  if (current != nil && routesLikeAClick(current.type)) return nil;
  return hit;
}

- (BOOL)acceptsFirstMouse:(nullable NSEvent*)event {
  return NO;
}

// Whether the drag is one the zone takes: from another application, carrying
// files or file promises, and allowing a copy.
- (BOOL)takesDrag:(id<NSDraggingInfo>)sender {
  return kestrovan::mac::catchingExceptions<BOOL>(NO, [&]() -> BOOL {
    if (sender.draggingSource != nil) return NO;
    if ((sender.draggingSourceOperationMask & NSDragOperationCopy) == 0) return NO;
    return [sender.draggingPasteboard canReadObjectForClasses:itemClasses() options:itemOptions()];
  });
}

- (std::shared_ptr<FileDropZoneClient>)liveClient {
  if (_detached) return nullptr;
  return _client.lock();
}

- (NSDragOperation)draggingEntered:(id<NSDraggingInfo>)sender {
  if (_detached || ![self takesDrag:sender]) return NSDragOperationNone;
  if (!_dragInside) {
    _dragInside = YES;
    if (auto client = [self liveClient]) client->fileDropZoneDragEntered();
  }
  return NSDragOperationCopy;
}

- (NSDragOperation)draggingUpdated:(id<NSDraggingInfo>)sender {
  return _dragInside && !_detached ? NSDragOperationCopy : NSDragOperationNone;
}

- (BOOL)wantsPeriodicDraggingUpdates {
  return NO;
}

- (void)leaveDrag {
  if (!_dragInside) return;
  _dragInside = NO;
  if (auto client = [self liveClient]) client->fileDropZoneDragExited();
}

- (void)draggingExited:(nullable id<NSDraggingInfo>)sender {
  [self leaveDrag];
}

// The drag ended over the zone without performDragOperation: (the source
// cancelled it, or the drop was refused).
- (void)draggingEnded:(id<NSDraggingInfo>)sender {
  [self leaveDrag];
}

- (BOOL)prepareForDragOperation:(id<NSDraggingInfo>)sender {
  return _dragInside && !_detached;
}

- (BOOL)performDragOperation:(id<NSDraggingInfo>)sender {
  if (!_dragInside || _detached) return NO;
  _dragInside = NO;
  // The dragging pasteboard is valid during this call only: everything is
  // read and every receipt started before it returns.
  NSPoint location = NSZeroPoint;
  NSArray* objects = kestrovan::mac::catchingExceptions<NSArray*>(nil, [&]() -> NSArray* {
    location = sender.draggingLocation;
    return [sender.draggingPasteboard readObjectsForClasses:itemClasses() options:itemOptions()];
  });
  NSMutableArray* kept = [NSMutableArray array];
  std::vector<IncomingDragItem> items;
  for (id object in objects ?: @[]) {
    IncomingDragItem item;
    if ([object isKindOfClass:[NSFilePromiseReceiver class]]) {
      NSFilePromiseReceiver* receiver = object;
      item.kind = IncomingDragItem::Kind::kPromise;
      // Usually empty until the promise is called in.
      item.name = kestrovan::mac::catchingExceptions<std::string>(
          std::string(), [&] { return fromNSString(receiver.fileNames.firstObject); });
    } else if ([object isKindOfClass:[NSURL class]] && [(NSURL*)object isFileURL]) {
      NSURL* url = object;
      item.kind = IncomingDragItem::Kind::kFile;
      item.path = fromNSString(url.path);
      item.name = fromNSString(url.lastPathComponent);
      if (item.path.empty()) continue;
    } else {
      continue;
    }
    [kept addObject:object];
    items.push_back(std::move(item));
  }
  auto client = [self liveClient];
  if (!client) return NO;
  // The drop's point in the content's points, top left.
  NSView* content = self.superview;
  kestrovan::port::Point point{};
  if (content != nil) {
    const NSPoint inContent = [content convertPoint:location fromView:nil];
    const NSRect bounds = content.bounds;
    point.x = inContent.x - NSMinX(bounds);
    point.y = content.isFlipped ? inContent.y - NSMinY(bounds) : NSMaxY(bounds) - inContent.y;
  }
  MacIncomingPromises promises(kept, _queue, _receipts);
  client->fileDropZoneDropped(point, items, promises);
  return YES;
}

@end

namespace kestrovan::port {

namespace {

class MacFileDropZone final : public FileDropZone {
 public:
  explicit MacFileDropZone(KestrovanFileDropView* view) : view_(view) {}
  ~MacFileDropZone() override { close(); }
  const void* identity() const override { return (__bridge const void*)view_; }
  void setRect(Rect rect) override {
    mac::catchingExceptions([&] { [view_ placeOver:rect]; });
  }
  void close() override {
    mac::catchingExceptions([&] { [view_ detach]; });
  }

 private:
  KestrovanFileDropView* __strong view_;
};

}  // namespace

FileDropZonePtr openFileDropZone(const WindowPtr& window, Rect rect,
                                 std::weak_ptr<FileDropZoneClient> client) {
  NSWindow* nsWindow = mac::unwrapWindow(window.get());
  NSView* content = nsWindow.contentView;
  if (nsWindow == nil || content == nil) return nullptr;
  KestrovanFileDropView* view =
      mac::catchingExceptions<KestrovanFileDropView*>(nil, [&]() -> KestrovanFileDropView* {
        KestrovanFileDropView* made =
            [[KestrovanFileDropView alloc] initWithClient:std::move(client) window:nsWindow];
        [made attachTo:content];
        [made placeOver:rect];
        return made;
      });
  if (view == nil) return nullptr;
  return std::make_shared<MacFileDropZone>(view);
}

}  // namespace kestrovan::port
