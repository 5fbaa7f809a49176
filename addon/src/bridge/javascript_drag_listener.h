// JavaScriptDragListener: a drag session's listener (drag/drag_session_listener.h)
// for the JavaScript that began the drag with startPromiseDrag. It owns the
// write-request callback's reference and the optional drag-ended callback's
// (the request's onEnded), builds their payload objects and calls them
// (js_call.h), each from a main-queue block or an AppKit handler.
//
// Ownership: the session owns its listener, the listener its callbacks. They
// are let go of once: by release() while the callbacks' environment ends
// (endDragSessions), or else by the listener's destructor. The drag-ended
// callback is let go of right after its one call.
#pragma once

#include <node_api.h>

#include "bridge/stored_callback.h"
#include "drag/drag_session_listener.h"

namespace kestrovan {

class JavaScriptDragListener final : public DragSessionListener {
 public:
  // `endedCallback` is none when the request has no onEnded.
  JavaScriptDragListener(StoredCallbackPtr writeCallback, StoredCallbackPtr endedCallback);
  ~JavaScriptDragListener() override;

  // Calls the write callback with { sessionId, promiseId, destinationPath,
  // destinationKind, completionToken }, writing the delivered line, or the
  // line that says why it could not.
  bool writeRequested(const WriteRequest& request) override;
  // Calls the drag-ended callback with { operation, screenPoint: { x, y } },
  // then lets go of it; nothing when there is none.
  void dragEnded(const DragEnd& end) override;
  // The environment of the callbacks; none once released.
  const void* owner() const override;
  void release() override;

 private:
  StoredCallbackPtr writeCallback_;
  StoredCallbackPtr endedCallback_;  // none: no onEnded, or already called
};

}  // namespace kestrovan
