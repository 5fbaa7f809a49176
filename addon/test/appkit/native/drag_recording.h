// The drag image of the latest drag this process began: NSView's
// beginDraggingSessionWithItems:event:source: is wrapped once, and the first
// dragging item's image is kept as PNG before the drag begins.
#pragma once

#import <AppKit/AppKit.h>

NS_ASSUME_NONNULL_BEGIN

namespace kestrovan::appkit_driver {

void startDragRecording();

// PNG bytes of the latest drag's first item image, or nil when none began
// (or its image could not be read).
NSData* _Nullable latestDragImagePng();

// How many drags began (beginDraggingSessionWithItems:event:source: returned)
// since the recording started.
NSInteger dragsBegun();

}  // namespace kestrovan::appkit_driver

NS_ASSUME_NONNULL_END
