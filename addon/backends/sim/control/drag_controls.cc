// Control functions for the drag side of the simulated desktop: the drags in
// progress, inspected as AppKit holds them, and ending a drag at a screen point
// with an operation.

#include <cstdio>

#include "canvas_sim.h"
#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"
#include "drag/promise_item.h"
#include "dragging_sim.h"

namespace kestrovan::sim::control {

namespace {

napi_value nullValue(napi_env env) {
  napi_value v;
  napi_get_null(env, &v);
  return v;
}

// An image is named by its id among the desktop's images (desktop.image(id)),
// so two items showing one image name it alike.
napi_value imageName(napi_env env, const port::ImagePtr& image) {
  if (!image) return nullValue(env);
  auto id = SimImages::instance().idOf(image.get());
  if (!id) return nullValue(env);
  return number(env, static_cast<double>(*id));
}

napi_value promiseItemInfo(napi_env env, const PromiseItemPtr& item) {
  if (!item) return nullValue(env);
  napi_value o = object(env);
  set(env, o, "promiseId", string(env, item->promiseId));
  set(env, o, "kind", string(env, item->kind));
  set(env, o, "suggestedName", string(env, item->suggestedName));
  set(env, o, "fileType", string(env, item->fileType));
  set(env, o, "filePath", item->filePath ? string(env, *item->filePath) : nullValue(env));
  return o;
}

napi_value draggingItemInfo(napi_env env, const SimDrag& drag, const SimDraggingItem& item) {
  napi_value o = object(env);
  const SimPasteboardWriter* writer = item.writer.get();
  if (writer == nullptr) {
    set(env, o, "writer", nullValue(env));
  } else if (writer->kind == WriterKind::kFileURL) {
    set(env, o, "writer", string(env, "fileURL"));
    set(env, o, "path", string(env, writer->path));
  } else {
    set(env, o, "writer", string(env, "filePromise"));
    set(env, o, "fileType", string(env, writer->promiseFileType));
    set(env, o, "item", promiseItemInfo(env, writer->item));
    std::shared_ptr<SimDragSessionPeer> delegate = writer->delegate.lock();
    set(env, o, "delegateIsSource", boolean(env, delegate && delegate == drag.source));
  }
  set(env, o, "draggingFrame", item.frameSet ? fromRect(env, item.draggingFrame) : nullValue(env));
  set(env, o, "image", imageName(env, item.contents));
  return o;
}

napi_value dragInfo(napi_env env, const SimDrag& drag) {
  napi_value o = object(env);
  set(env, o, "id", number(env, static_cast<double>(drag.id)));
  set(env, o, "window", number(env, static_cast<double>(drag.windowNumber)));
  set(env, o, "view", string(env, drag.viewId));
  const SimEvent& e = *drag.event;
  napi_value event = object(env);
  set(env, event, "serial", number(env, static_cast<double>(e.serial)));
  set(env, event, "type", number(env, static_cast<double>(e.eventType)));
  set(env, event, "window", number(env, static_cast<double>(e.windowNumber)));
  set(env, event, "location", fromPoint(env, e.location));
  set(env, event, "modifierFlags", number(env, static_cast<double>(e.flags)));
  set(env, event, "timestamp", number(env, e.timestamp));
  set(env, event, "eventNumber", number(env, static_cast<double>(e.eventNumber)));
  set(env, event, "clickCount", number(env, static_cast<double>(e.clickCount)));
  set(env, event, "pressure", number(env, e.pressure));
  set(env, event, "madeByApplication", boolean(env, e.madeByApplication));
  set(env, o, "event", event);
  set(env, o, "animatesToStartingPositionsOnCancelOrFail", boolean(env, drag.animates));
  napi_value source = object(env);
  set(env, source, "operationMaskOutsideApplication",
      number(env, static_cast<double>(drag.sourceAnswers.operationMaskOutsideApplication)));
  set(env, source, "operationMaskWithinApplication",
      number(env, static_cast<double>(drag.sourceAnswers.operationMaskWithinApplication)));
  set(env, source, "ignoreModifierKeys", boolean(env, drag.sourceAnswers.ignoreModifierKeys));
  set(env, source, "alive", boolean(env, drag.source && drag.source->clientAlive()));
  set(env, o, "source", source);
  napi_value items = array(env);
  for (const auto& item : drag.items) push(env, items, draggingItemInfo(env, drag, *item));
  set(env, o, "items", items);
  set(env, o, "image", imageName(env, drag.items.empty() ? nullptr : drag.items.front()->contents));
  return o;
}

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(drags) {
  return guarded(env, [&] {
    napi_value out = array(env);
    // A copy: nothing here calls out, but the list is not ours.
    auto running = runningDrags();
    for (const auto& drag : running) push(env, out, dragInfo(env, *drag));
    return out;
  });
}

CONTROL(endDragControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 3);
    double id = toNumber(env, argv[0], "drag id");
    port::Point point = toPoint(env, argv[1], "screen point");
    double operation = toNumber(env, argv[2], "operation");
    if (!(operation >= 0)) throw ControlError{"operation must be a number of at least 0"};
    if (!endDrag(static_cast<uint64_t>(id), point, static_cast<uint64_t>(operation))) {
      throw ControlError{"no running drag " + std::to_string(static_cast<uint64_t>(id))};
    }
    return undefinedValue(env);
  });
}

#undef CONTROL

}  // namespace

void registerDragControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "drags", drags);
  defineFunction(env, exports, "endDrag", endDragControl);
}

}  // namespace kestrovan::sim::control
