// The dragging items of one drag: one per item, in order, all showing one
// shared drag image (drag_image.h), each at its frame (dragging_frame.h). A
// promised item is carried by a file-promise provider whose delegate is the
// session's peer; an item with a cached file is dragged as that file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "drag/promise_item.h"
#include "port/dragging.h"
#include "port/geometry.h"

namespace kestrovan {

// `origin` is the drag origin in the source view's coordinates; `sessionId`
// names the session in each item's line. None when AppKit raised on the way
// (the exception is kept, port/platform_exception.h).
std::vector<port::DraggingItemPtr> draggingItems(const std::string& sessionId,
                                                 const port::DragSessionPeerPtr& peer,
                                                 const std::vector<PromiseItemPtr>& items,
                                                 const std::optional<std::string>& iconPath,
                                                 port::Point origin);

}  // namespace kestrovan
