// Dragging on the simulated desktop: pasteboard writers, dragging items, drag
// session peers and the drags in progress, kept as AppKit would keep them so
// the control module can inspect a drag and end it.
//
// A begun drag is held here with its source peer, items, frames and image
// until it ends; the source is asked for its operation mask (in both dragging
// contexts) and its modifier-key rule when the drag begins, as AppKit asks, and
// the answers are recorded. A drag begun from a non-mouse event, or from an
// event of another window than the view's, is refused as AppKit refuses it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop_sim.h"
#include "port/dragging.h"

namespace kestrovan::sim {

class SimDragSessionPeer final : public port::DragSessionPeer {
 public:
  SimDragSessionPeer(std::weak_ptr<port::DragSessionClient> client,
                     std::shared_ptr<port::DragSessionClient> retired)
      : client_(std::move(client)), retired_(std::move(retired)) {}
  const void* identity() const override { return this; }
  // The client, held for the call; or the answers for a session that has gone.
  std::shared_ptr<port::DragSessionClient> client() const;
  bool clientAlive() const { return !client_.expired(); }

 private:
  std::weak_ptr<port::DragSessionClient> client_;
  std::shared_ptr<port::DragSessionClient> retired_;
};

enum class WriterKind { kFileURL, kFilePromise };

class SimPasteboardWriter final : public port::PasteboardWriter, public port::FilePromiseProvider {
 public:
  const void* identity() const override { return this; }
  bool isKestrovanProvider() const override { return kind == WriterKind::kFilePromise; }
  PromiseItemPtr kestrovanItem() const override { return item; }
  std::string fileType() const override { return promiseFileType; }

  WriterKind kind = WriterKind::kFileURL;
  std::string path;                            // kFileURL
  std::string promiseFileType;                 // kFilePromise
  std::weak_ptr<SimDragSessionPeer> delegate;  // kFilePromise; weak, as AppKit's
  // kFilePromise, made by the addon: its own strong hold on the delegate.
  std::shared_ptr<SimDragSessionPeer> delegateHold;
  PromiseItemPtr item;  // kFilePromise
};

class SimDraggingItem final : public port::DraggingItem {
 public:
  const void* identity() const override { return this; }
  void setDraggingFrame(port::Rect frame, port::ImagePtr contents) override;

  std::shared_ptr<SimPasteboardWriter> writer;
  bool frameSet = false;
  port::Rect draggingFrame;
  port::ImagePtr contents;
};

// The answers the source gave when the drag began.
struct SourceAnswers {
  uint64_t operationMaskOutsideApplication = 0;
  uint64_t operationMaskWithinApplication = 0;
  bool ignoreModifierKeys = false;
};

class SimDrag final : public port::DraggingSession {
 public:
  const void* identity() const override { return this; }
  void setAnimatesToStartingPositionsOnCancelOrFail(bool value) override { animates = value; }

  uint64_t id = 0;
  std::shared_ptr<SimDragSessionPeer> source;  // strong until the drag ends
  std::vector<std::shared_ptr<SimDraggingItem>> items;
  std::string viewId;
  int64_t windowNumber = 0;
  std::shared_ptr<const SimEvent> event;  // the event the drag was begun from
  bool animates = false;
  SourceAnswers sourceAnswers;
};

// The drags in progress, oldest first.
const std::vector<std::shared_ptr<SimDrag>>& runningDrags();

// Ends a running drag as AppKit does when the user drops or cancels: the drag
// is over, then the source hears draggingSession:endedAtPoint:operation:. False
// when no drag has that id.
bool endDrag(uint64_t id, port::Point screenPoint, uint64_t operation);

}  // namespace kestrovan::sim
