// The mouse event a drag is begun from. AppKit begins a dragging session only
// from a mouse event of the window the drag starts in, and the event it is
// handling while JavaScript runs may be unrelated, stale or missing.
#pragma once

#include "port/event.h"
#include "port/window.h"

namespace kestrovan {

// In order of preference: the window-exit event (while its callback runs) of
// this window, without a log line; the application's current event when it is
// a left mouse down or dragged event of this window; or a left-mouse-dragged
// event made up at the mouse position. None when the platform cannot make one.
port::EventPtr currentDragEvent(const port::WindowPtr& window);

}  // namespace kestrovan
