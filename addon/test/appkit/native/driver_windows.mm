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
// events it receives and consumes them, as a page does.
@interface RenderWidgetHostViewCocoa : NSView
@property(nonatomic) NSInteger scrollWheelCount;
@end

@implementation RenderWidgetHostViewCocoa
- (BOOL)isFlipped {
  return YES;
}
- (void)scrollWheel:(NSEvent*)event {
  (void)event;
  self.scrollWheelCount += 1;
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
