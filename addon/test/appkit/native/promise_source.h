// The "source" mode of kestrovan-promise-receiver: another application's drag
// into a window of the node suites' process, as the Finder (existing files),
// Mail or Photos (promised files) begin one. It shows a small window of its
// own at `start`, holds the real mouse down on it, begins a drag of `items`
// from it and drags the real mouse along `path` (CGEventPost), from one point
// to the next in one move, then releases it at the path's end (`drop`) or back
// on its own window (no drop). Promised files are written when the drop
// target calls them in: after `delayMs` (publishing the fractions of
// `progress` meanwhile), failing with `error`, or never.
//
// Output (JSON lines): {"event":"began"}, {"event":"write","index":I,"path":P},
// {"event":"written","index":I,"path":P} / {"event":"writeFailed",...,"error":E}
// / {"event":"holding","index":I}, {"event":"ended","operation":N} (the drag
// session's end: 0 when nothing took the drop), {"event":"done"};
// {"event":"failed","message":M} when it cannot go on.
#pragma once

#import <AppKit/AppKit.h>

#include <vector>

namespace kestrovan::appkit_driver {

struct SourceOptions {
  // [{kind: 'file', path} | {kind: 'promise', name, contents?, delayMs?, error?, never?, progress?}]
  NSArray* items = nil;
  CGPoint start = CGPointZero;  // global display points, from the main display's top left
  std::vector<CGPoint> path;    // likewise
  bool drop = true;
  double timeout = 120;  // the longest it serves promises after the drag
};

// Runs the drag and serves its promises; the process's exit status: 0 done,
// 3 timed out still holding promises, 6 when it may not post events or the
// drag did not begin.
int runPromiseSource(const SourceOptions& options);

}  // namespace kestrovan::appkit_driver
