// DragSessionListener: what a drag session tells the one that began its drag:
// each accepted write request and the end of the drag. The bridge implements
// it for JavaScript (bridge/javascript_drag_listener.h); the session owns its
// listener and knows nothing of how the listener reaches its owner.
//
// Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "port/geometry.h"

namespace kestrovan {

// One accepted write request, as its owner is to hear of it.
struct WriteRequest {
  std::string sessionId;
  std::string promiseId;
  std::string destinationPath;
  std::string destinationKind;  // the item's kind: "file" or "directory"
  std::string completionToken;
};

// The end of a drag: the final operation (NSDragOperation's raw value) and
// the end point in screen coordinates.
struct DragEnd {
  std::string sessionId;
  uint64_t operation = 0;
  port::Point screenPoint;
};

class DragSessionListener {
 public:
  virtual ~DragSessionListener() = default;

  // Hands one write request on, from a main-queue block of its own (never from
  // inside the platform's request). True when it was delivered; false when it
  // could not be, with the line that says why written: the session then
  // answers the write with the callback-failed error. The owner may complete
  // this very write, or others, before this returns.
  virtual bool writeRequested(const WriteRequest& request) = 0;

  // The drag has ended. The session calls this at most once.
  virtual void dragEnded(const DragEnd& end) = 0;

  // The owner, by identity: the sessions of an owner that ends are found by it
  // (endDragSessionsOwnedBy, active_sessions.h). None once released.
  virtual const void* owner() const = 0;

  // The owner is ending: everything held for it is let go of now, and it is
  // never called again.
  virtual void release() = 0;
};

using DragSessionListenerPtr = std::unique_ptr<DragSessionListener>;

}  // namespace kestrovan
