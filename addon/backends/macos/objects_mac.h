// Handles that carry AppKit objects into the core. Each holds its object
// strongly (ARC) for as long as the handle lives; identity() is the object's
// address, so two handles on one object compare equal with sameObject().
#pragma once

#import <AppKit/AppKit.h>

#include "port/event.h"
#include "port/view.h"
#include "port/window.h"

namespace kestrovan::mac {

port::WindowPtr wrapWindow(NSWindow* window);
port::ViewPtr wrapView(NSView* view);
port::EventPtr wrapEvent(NSEvent* event);

// The AppKit object behind a handle made by this backend, or nil.
NSWindow* unwrapWindow(const port::Window* window);
NSView* unwrapView(const port::View* view);
NSEvent* unwrapEvent(const port::Event* event);

inline NSPoint toNSPoint(port::Point p) { return NSMakePoint(p.x, p.y); }
inline port::Point fromNSPoint(NSPoint p) { return {p.x, p.y}; }
inline port::Rect fromNSRect(NSRect r) {
  return {r.origin.x, r.origin.y, r.size.width, r.size.height};
}
inline NSRect toNSRect(port::Rect r) { return NSMakeRect(r.x, r.y, r.width, r.height); }

}  // namespace kestrovan::mac
