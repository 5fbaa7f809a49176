// setPrimaryMonitor: gives an X server a RandR 1.5 monitor and marks it
// primary, as a desktop with two screens has one monitor of several marked.
// Kept apart from the tests, whose test framework clashes with Xlib's macros.
#pragma once

#include <string>

namespace kestrovan::sidecar::e2e {

// Makes the monitor at x, y, width × height (root coordinates, y down) the
// primary one on `display`, in place of the one an earlier call made. False when the display
// cannot be opened.
bool setPrimaryMonitor(const std::string& display, int x, int y, int width, int height);

}  // namespace kestrovan::sidecar::e2e
