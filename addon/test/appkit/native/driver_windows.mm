#include "driver_windows.h"

// A window that can become key and main without a title bar.
@interface KestrovanDriverWindow : NSWindow
@end

@implementation KestrovanDriverWindow
- (BOOL)canBecomeKeyWindow {
  return YES;
}
- (BOOL)canBecomeMainWindow {
  return YES;
}
@end

// The content view: flipped; over its drag regions hit-testing yields itself.
@interface KestrovanDriverContentView : NSView
@property(nonatomic, copy) NSArray<NSValue*>* dragRegions;
@end

@implementation KestrovanDriverContentView
- (BOOL)isFlipped {
  return YES;
}
- (nullable NSView*)hitTest:(NSPoint)point {
  NSView* hit = [super hitTest:point];
  if (!hit) return nil;
  NSView* parent = self.superview;
  NSPoint own = parent ? [self convertPoint:point fromView:parent] : point;
  for (NSValue* region in self.dragRegions) {
    if (NSPointInRect(own, region.rectValue)) return self;
  }
  return hit;
}
@end

// The host's web content view, by its class name; counts the scroll-wheel
// events it receives and consumes them, as a page does. Like Chromium's, it is
// a drag destination for files and file promises: it takes every such drag of
// another application with the copy operation (receiving nothing) and records
// what it saw. Drags of this process (the addon's own drags out) it refuses,
// so that releasing one over its source window still cancels it.
@interface RenderWidgetHostViewCocoa : NSView
@property(nonatomic) NSInteger scrollWheelCount;
// {type: enter|move|exit|drop, x, y (content points, top left), items: [{kind, name, path}]}
@property(nonatomic, strong) NSMutableArray<NSDictionary*>* dragEvents;
@end

@implementation RenderWidgetHostViewCocoa
- (instancetype)initWithFrame:(NSRect)frame {
  self = [super initWithFrame:frame];
  if (self) {
    _dragEvents = [NSMutableArray array];
    [self registerForDraggedTypes:[NSFilePromiseReceiver.readableDraggedTypes
                                      arrayByAddingObject:NSPasteboardTypeFileURL]];
  }
  return self;
}
- (BOOL)isFlipped {
  return YES;
}
- (void)scrollWheel:(NSEvent*)event {
  (void)event;
  self.scrollWheelCount += 1;
}
// Records `type` at the drag's location; a move only where the location changed.
- (void)record:(NSString*)type drag:(nullable id<NSDraggingInfo>)sender {
  NSView* content = self.window.contentView;
  NSPoint at = sender && content ? [content convertPoint:sender.draggingLocation fromView:nil] : NSZeroPoint;
  NSDictionary* last = self.dragEvents.lastObject;
  if ([type isEqualToString:@"move"] && [last[@"x"] doubleValue] == at.x && [last[@"y"] doubleValue] == at.y) return;
  NSMutableArray* items = [NSMutableArray array];
  NSArray* objects = [sender.draggingPasteboard readObjectsForClasses:@[ [NSFilePromiseReceiver class], [NSURL class] ]
                                                              options:@{NSPasteboardURLReadingFileURLsOnlyKey : @YES}];
  for (id object in objects ?: @[]) {
    if ([object isKindOfClass:[NSURL class]]) {
      NSURL* url = object;
      [items addObject:@{@"kind" : @"file", @"name" : url.lastPathComponent ?: @"", @"path" : url.path ?: @""}];
    } else {
      [items addObject:@{@"kind" : @"promise", @"name" : @"", @"path" : [NSNull null]}];
    }
  }
  [self.dragEvents addObject:@{@"type" : type, @"x" : @(at.x), @"y" : @(at.y), @"items" : items}];
}
- (NSDragOperation)draggingEntered:(id<NSDraggingInfo>)sender {
  if (sender.draggingSource != nil) return NSDragOperationNone;
  [self record:@"enter" drag:sender];
  return NSDragOperationCopy;
}
- (NSDragOperation)draggingUpdated:(id<NSDraggingInfo>)sender {
  if (sender.draggingSource != nil) return NSDragOperationNone;
  [self record:@"move" drag:sender];
  return NSDragOperationCopy;
}
- (BOOL)wantsPeriodicDraggingUpdates {
  return NO;
}
- (void)draggingExited:(nullable id<NSDraggingInfo>)sender {
  if (sender.draggingSource == nil) [self record:@"exit" drag:sender];
}
- (BOOL)performDragOperation:(id<NSDraggingInfo>)sender {
  if (sender.draggingSource != nil) return NO;
  [self record:@"drop" drag:sender];
  return YES;
}
@end

// Accepts every file-promise or file-URL drag with the copy operation.
@interface KestrovanDriverDropTargetView : NSView
@end

@implementation KestrovanDriverDropTargetView
- (instancetype)initWithFrame:(NSRect)frame {
  self = [super initWithFrame:frame];
  if (self) {
    NSMutableArray<NSPasteboardType>* types = [NSFilePromiseReceiver.readableDraggedTypes mutableCopy];
    [types addObject:NSPasteboardTypeFileURL];
    [self registerForDraggedTypes:types];
  }
  return self;
}
- (NSDragOperation)draggingEntered:(id<NSDraggingInfo>)sender {
  (void)sender;
  return NSDragOperationCopy;
}
- (NSDragOperation)draggingUpdated:(id<NSDraggingInfo>)sender {
  (void)sender;
  return NSDragOperationCopy;
}
- (BOOL)performDragOperation:(id<NSDraggingInfo>)sender {
  (void)sender;
  return YES;
}
@end

namespace kestrovan::appkit_driver {

namespace {

NSMutableDictionary<NSNumber*, NSWindow*>* windows() {
  static NSMutableDictionary<NSNumber*, NSWindow*>* all = [NSMutableDictionary dictionary];
  return all;
}

NSWindow* _Nullable dropTarget = nil;

NSRect flippedToScreen(NSRect topLeftFrame) {
  return NSMakeRect(topLeftFrame.origin.x,
                    mainDisplayHeight() - topLeftFrame.origin.y - topLeftFrame.size.height,
                    topLeftFrame.size.width, topLeftFrame.size.height);
}

KestrovanDriverWindow* makeWindow(NSRect contentFrame) {
  KestrovanDriverWindow* window =
      [[KestrovanDriverWindow alloc] initWithContentRect:flippedToScreen(contentFrame)
                                               styleMask:NSWindowStyleMaskBorderless
                                                 backing:NSBackingStoreBuffered
                                                   defer:NO];
  window.releasedWhenClosed = NO;
  return window;
}

}  // namespace

CGFloat mainDisplayHeight() {
  NSScreen* main = NSScreen.screens.firstObject;
  return main ? main.frame.size.height : 0;
}

NSInteger createWindow(NSRect contentFrame, bool key, const WebViewPlacement* webView) {
  KestrovanDriverWindow* window = makeWindow(contentFrame);
  KestrovanDriverContentView* content =
      [[KestrovanDriverContentView alloc] initWithFrame:NSMakeRect(0, 0, contentFrame.size.width,
                                                                   contentFrame.size.height)];
  if (webView) {
    RenderWidgetHostViewCocoa* web = [[RenderWidgetHostViewCocoa alloc] initWithFrame:webView->frame];
    [content addSubview:web];
    NSMutableArray<NSValue*>* regions = [NSMutableArray array];
    for (NSRect region : webView->dragRegions) {
      // From the web view's points to the content's (both flipped).
      region.origin.x += webView->frame.origin.x;
      region.origin.y += webView->frame.origin.y;
      [regions addObject:[NSValue valueWithRect:region]];
    }
    content.dragRegions = regions;
  }
  window.contentView = content;
  if (key) {
    [NSApp activateIgnoringOtherApps:YES];
    [window makeKeyAndOrderFront:nil];
    [window makeMainWindow];
  } else {
    [window orderFront:nil];
  }
  windows()[@(window.windowNumber)] = window;
  return window.windowNumber;
}

NSWindow* _Nullable driverWindow(NSInteger windowNumber) { return windows()[@(windowNumber)]; }

void makeKey(NSWindow* window) {
  [NSApp activateIgnoringOtherApps:YES];
  [window makeKeyAndOrderFront:nil];
  [window makeMainWindow];
}

void closeWindow(NSWindow* window) {
  [windows() removeObjectForKey:@(window.windowNumber)];
  [window close];
}

void closeAllWindows() {
  for (NSWindow* window in windows().allValues) [window close];
  [windows() removeAllObjects];
}

NSInteger webViewScrolls(NSWindow* window) {
  NSInteger count = 0;
  for (NSView* view in window.contentView.subviews) {
    if ([view isKindOfClass:[RenderWidgetHostViewCocoa class]]) {
      count += static_cast<RenderWidgetHostViewCocoa*>(view).scrollWheelCount;
    }
  }
  return count;
}

NSPoint windowPointOfContentPoint(NSWindow* window, NSPoint contentPoint) {
  NSView* content = window.contentView;
  return content ? [content convertPoint:contentPoint toView:nil] : contentPoint;
}

CGPoint globalPointOfContentPoint(NSWindow* window, NSPoint contentPoint) {
  NSPoint screen = [window convertPointToScreen:windowPointOfContentPoint(window, contentPoint)];
  return CGPointMake(screen.x, mainDisplayHeight() - screen.y);
}

NSString* webViewDragEventsJSON(NSWindow* window) {
  NSMutableArray* all = [NSMutableArray array];
  for (NSView* view in window.contentView.subviews) {
    if ([view isKindOfClass:[RenderWidgetHostViewCocoa class]]) {
      [all addObjectsFromArray:static_cast<RenderWidgetHostViewCocoa*>(view).dragEvents];
    }
  }
  NSData* json = [NSJSONSerialization dataWithJSONObject:all options:0 error:nil];
  return json ? [[NSString alloc] initWithData:json encoding:NSUTF8StringEncoding] ?: @"[]" : @"[]";
}

CGPoint dropTargetPoint() {
  NSScreen* main = NSScreen.screens.firstObject;
  NSRect visible = main ? main.visibleFrame : NSMakeRect(0, 0, 800, 600);
  const CGFloat side = 160;
  if (!dropTarget) {
    NSRect frame = NSMakeRect(NSMaxX(visible) - side - 20, NSMinY(visible) + 20, side, side);
    KestrovanDriverWindow* window = [[KestrovanDriverWindow alloc] initWithContentRect:frame
                                                                             styleMask:NSWindowStyleMaskBorderless
                                                                               backing:NSBackingStoreBuffered
                                                                                 defer:NO];
    window.releasedWhenClosed = NO;
    window.contentView = [[KestrovanDriverDropTargetView alloc] initWithFrame:NSMakeRect(0, 0, side, side)];
    dropTarget = window;
  }
  [dropTarget orderFront:nil];
  NSRect frame = dropTarget.frame;
  return CGPointMake(NSMidX(frame), mainDisplayHeight() - NSMidY(frame));
}

}  // namespace kestrovan::appkit_driver
