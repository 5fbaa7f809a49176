// Dragging on the simulated desktop.

#include "dragging_sim.h"

#include <algorithm>
#include <string>

#include "desktop_sim.h"
#include "file_types_sim.h"

namespace kestrovan::sim {

namespace {

std::vector<std::shared_ptr<SimDrag>>& drags() {
  static auto* running = new std::vector<std::shared_ptr<SimDrag>>();
  return *running;
}

bool isMouseEvent(uint64_t type) {
  switch (type) {
    case port::event_type::kLeftMouseDown:
    case port::event_type::kLeftMouseUp:
    case port::event_type::kRightMouseDown:
    case port::event_type::kRightMouseUp:
    case port::event_type::kMouseMoved:
    case port::event_type::kLeftMouseDragged:
    case 7:  // right mouse dragged
    case port::event_type::kOtherMouseDown:
    case port::event_type::kOtherMouseUp:
    case 27:  // other mouse dragged
      return true;
    default:
      return false;
  }
}

}  // namespace

std::shared_ptr<port::DragSessionClient> SimDragSessionPeer::client() const {
  if (auto client = client_.lock()) return client;
  return retired_;
}

void SimDraggingItem::setDraggingFrame(port::Rect frame, port::ImagePtr image) {
  if (Desktop::instance().raises("setDraggingFrame:contents:")) return;
  frameSet = true;
  draggingFrame = frame;
  contents = std::move(image);
}

const std::vector<std::shared_ptr<SimDrag>>& runningDrags() { return drags(); }

bool endDrag(uint64_t id, port::Point screenPoint, uint64_t operation) {
  auto& running = drags();
  auto it = std::find_if(running.begin(), running.end(),
                         [&](const auto& drag) { return drag->id == id; });
  if (it == running.end()) return false;
  std::shared_ptr<SimDrag> drag = *it;
  running.erase(it);
  const SourceAnswers& offered = drag->sourceAnswers;
  uint64_t allowed =
      offered.operationMaskOutsideApplication | offered.operationMaskWithinApplication;
  if (operation != port::drag_operation::kNone && (operation & allowed) != operation) {
    Desktop::instance().violation("a drag ended with operation " + std::to_string(operation) +
                                  ", which its source never offered");
  }
  // The drag is over before the source hears of it; the source is released
  // after that (with `drag`).
  drag->source->client()->draggingSessionEndedAtPoint(screenPoint, operation);
  return true;
}

}  // namespace kestrovan::sim

namespace kestrovan::port {

using sim::Desktop;

DragSessionPeerPtr makeDragSessionPeer(std::weak_ptr<DragSessionClient> client,
                                       std::shared_ptr<DragSessionClient> retired) {
  return std::make_shared<sim::SimDragSessionPeer>(std::move(client), std::move(retired));
}

PasteboardWriterPtr makeFileURLWriter(const std::string& path) {
  auto writer = std::make_shared<sim::SimPasteboardWriter>();
  writer->kind = sim::WriterKind::kFileURL;
  writer->path = path;
  return writer;
}

PasteboardWriterPtr makeFilePromiseProvider(const std::string& fileType,
                                            const DragSessionPeerPtr& delegate,
                                            PromiseItemPtr item) {
  if (Desktop::instance().raises("initWithFileType:delegate:")) return nullptr;
  if (!sim::conformsToDataOrDirectory(fileType)) {
    // NSFilePromiseProvider raises for such a type.
    if (!Desktop::instance().keptException) {
      Desktop::instance().keptException =
          PlatformException{"NSInvalidArgumentException",
                            "NSFilePromiseProvider: the file type " + fileType +
                                " conforms to neither public.data nor public.directory"};
    }
    return nullptr;
  }
  auto writer = std::make_shared<sim::SimPasteboardWriter>();
  writer->kind = sim::WriterKind::kFilePromise;
  writer->promiseFileType = fileType;
  writer->delegateHold = std::dynamic_pointer_cast<sim::SimDragSessionPeer>(delegate);
  writer->delegate = writer->delegateHold;
  if (delegate && writer->delegate.expired()) {
    Desktop::instance().violation("initWithFileType:delegate: with a delegate of another platform");
  }
  writer->item = std::move(item);
  return writer;
}

DraggingItemPtr makeDraggingItem(const PasteboardWriterPtr& writer) {
  if (Desktop::instance().raises("initWithPasteboardWriter:")) return nullptr;
  auto item = std::make_shared<sim::SimDraggingItem>();
  item->writer = std::dynamic_pointer_cast<sim::SimPasteboardWriter>(writer);
  if (!item->writer) {
    Desktop::instance().violation("initWithPasteboardWriter: without a pasteboard writer");
  }
  return item;
}

DraggingSessionPtr beginDraggingSession(const ViewPtr& view,
                                        const std::vector<DraggingItemPtr>& items,
                                        const EventPtr& event, const DragSessionPeerPtr& source) {
  Desktop& desktop = Desktop::instance();
  auto simView = std::dynamic_pointer_cast<sim::SimView>(view);
  auto simEvent = std::dynamic_pointer_cast<sim::SimEvent>(event);
  auto peer = std::dynamic_pointer_cast<sim::SimDragSessionPeer>(source);
  std::shared_ptr<sim::SimWindow> viewWindow = simView ? simView->window.lock() : nullptr;
  auto refuse = [&](const std::string& why) -> DraggingSessionPtr {
    desktop.violation("beginDraggingSessionWithItems:event:source: " + why);
    return nullptr;
  };
  if (desktop.raises("beginDraggingSessionWithItems:event:source:")) return nullptr;
  if (desktop.refuseDraggingSession) return nullptr;  // nil, as AppKit may answer
  if (!viewWindow) return refuse("on a view that is in no window");
  if (!simEvent) return refuse("without an event the application made");
  if (!sim::isMouseEvent(simEvent->type())) {
    return refuse("with an event of type " + std::to_string(simEvent->type()) +
                  ", which is not a mouse event");
  }
  if (!port::sameObject(simEvent->window(), std::static_pointer_cast<port::Window>(viewWindow))) {
    return refuse("with an event of another window than the view's");
  }
  if (!peer) return refuse("without a source");
  if (items.empty()) return refuse("without dragging items");

  static uint64_t nextDragId = 1;
  auto drag = std::make_shared<sim::SimDrag>();
  drag->id = nextDragId++;
  drag->source = peer;
  for (const auto& item : items) {
    auto simItem = std::dynamic_pointer_cast<sim::SimDraggingItem>(item);
    if (!simItem) return refuse("with a dragging item of another platform");
    if (!simItem->frameSet) desktop.violation("a dragging item without a dragging frame");
    drag->items.push_back(simItem);
  }
  drag->viewId = simView->id;
  drag->windowNumber = viewWindow->number;
  drag->event = simEvent;
  sim::drags().push_back(drag);
  // AppKit asks the source as soon as the drag begins (and again as it moves).
  std::shared_ptr<DragSessionClient> client = peer->client();
  drag->sourceAnswers.operationMaskOutsideApplication =
      client->draggingSessionSourceOperationMaskForDraggingContext(
          DraggingContext::kOutsideApplication);
  drag->sourceAnswers.operationMaskWithinApplication =
      client->draggingSessionSourceOperationMaskForDraggingContext(
          DraggingContext::kWithinApplication);
  drag->sourceAnswers.ignoreModifierKeys = client->ignoreModifierKeysForDraggingSession();
  return drag;
}

}  // namespace kestrovan::port
