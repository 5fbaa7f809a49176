// The test windows: borderless windows that can become key, whose content
// view is flipped (points from its top left, as a page's CSS pixels), and
// that may hold a view of class RenderWidgetHostViewCocoa, the host's web
// content view, with drag regions over it where hit-testing yields the
// content view instead. Frames come in screen points from the top left of the
// main display and are converted to AppKit's bottom-left screen space here.
#pragma once

#import <AppKit/AppKit.h>

#include <vector>

NS_ASSUME_NONNULL_BEGIN

namespace kestrovan::appkit_driver {

struct WebViewPlacement {
  NSRect frame;                       // content points, from the top left
  std::vector<NSRect> dragRegions;    // the web view's points, from its top left
};

// Makes a window whose content is `contentFrame` and orders it front (key and
// main when `key`): its window number.
NSInteger createWindow(NSRect contentFrame, bool key, const WebViewPlacement* webView);

// The driver's window with that number, or nil.
NSWindow* _Nullable driverWindow(NSInteger windowNumber);

void makeKey(NSWindow* window);
void closeWindow(NSWindow* window);
void closeAllWindows();

// How many scrollWheel: calls the window's web view received (0 without one).
NSInteger webViewScrolls(NSWindow* window);

// What the window's web view saw of drags into it, oldest first, as a JSON
// array of {type: "enter"|"move"|"exit"|"drop", x, y, items: [{kind, name,
// path}]} (content points from the top left; a promise's name is "" and its
// path null: a drop target learns its name only by calling it in).
NSString* webViewDragEventsJSON(NSWindow* window);

// A content point (from the content's top left) in window coordinates, and in
// the global display space of CGEvent locations (from the main display's top left).
NSPoint windowPointOfContentPoint(NSWindow* window, NSPoint contentPoint);
CGPoint globalPointOfContentPoint(NSWindow* window, NSPoint contentPoint);

// The height of the main display (the screen whose origin is AppKit's (0, 0)).
CGFloat mainDisplayHeight();

// A window of its own that accepts file promises and file URLs with the copy
// operation and receives nothing itself (the receiver program does), made once
// near the main display's bottom right: the centre of its content in global
// display points, where a drag is dropped.
CGPoint dropTargetPoint();

}  // namespace kestrovan::appkit_driver

NS_ASSUME_NONNULL_END
