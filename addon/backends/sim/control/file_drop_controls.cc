// Control functions for drags from other applications into the application's
// windows (file_drops_sim.h): begin one with its items, move it over a window,
// drop or cancel it; read the drop zones the addon opened and what each
// window's web contents received.

#include <string>
#include <vector>

#include "control/controls.h"
#include "control/napi_util.h"
#include "file_drops_sim.h"

namespace kestrovan::sim::control {

namespace {

using Kind = port::IncomingDragItem::Kind;

napi_value nullValue(napi_env env) {
  napi_value v;
  napi_get_null(env, &v);
  return v;
}

IncomingItemSource itemFrom(napi_env env, napi_value value) {
  IncomingItemSource item;
  auto kindValue = get(env, value, "kind");
  const std::string kind = kindValue ? toString(env, *kindValue, "kind") : std::string();
  if (kind == "file") {
    item.kind = Kind::kFile;
    auto path = get(env, value, "path");
    if (!path) throw ControlError{"a file item needs a path"};
    item.path = toString(env, *path, "path");
    return item;
  }
  if (kind != "promise") throw ControlError{"an item's kind must be \"file\" or \"promise\""};
  item.kind = Kind::kPromise;
  if (auto name = get(env, value, "name")) item.name = toString(env, *name, "name");
  if (auto contents = get(env, value, "contents")) {
    item.contents = toString(env, *contents, "contents");
  }
  if (auto delay = get(env, value, "delay")) {
    item.delaySeconds = toNumber(env, *delay, "delay");
    if (!(item.delaySeconds >= 0)) throw ControlError{"delay must be a number of at least 0"};
  }
  if (auto error = get(env, value, "error"); error && !isNullish(env, *error)) {
    item.error = toString(env, *error, "error");
  }
  if (auto never = get(env, value, "never")) item.never = toBool(env, *never, "never");
  if (auto progress = get(env, value, "progress")) {
    for (napi_value fraction : toArray(env, *progress, "progress")) {
      item.progress.push_back(toNumber(env, fraction, "progress fraction"));
    }
  }
  if (auto linkTo = get(env, value, "linkTo")) item.linkTo = toString(env, *linkTo, "linkTo");
  return item;
}

napi_value placeValue(napi_env env, const IncomingDragPlace& place) {
  napi_value out = object(env);
  set(env, out, "target", string(env, place.target));
  set(env, out, "zone",
      place.zoneId == 0 ? nullValue(env) : number(env, static_cast<double>(place.zoneId)));
  return out;
}

uint64_t dragIdFrom(napi_env env, napi_value value) {
  const double id = toNumber(env, value, "drag id");
  if (!(id >= 1)) throw ControlError{"drag id must be a positive number"};
  return static_cast<uint64_t>(id);
}

void throwIf(const std::string& error) {
  if (!error.empty()) throw ControlError{error};
}

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(beginIncomingDragControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 1);
    std::vector<IncomingItemSource> items;
    for (napi_value item : toArray(env, argv[0], "items")) items.push_back(itemFrom(env, item));
    return number(env, static_cast<double>(beginIncomingDrag(std::move(items))));
  });
}

CONTROL(moveIncomingDragControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 3);
    const uint64_t dragId = dragIdFrom(env, argv[0]);
    const double window = toNumber(env, argv[1], "window number");
    const port::Point point = toPoint(env, argv[2], "point");
    std::string error;
    IncomingDragPlace place = moveIncomingDrag(dragId, static_cast<int64_t>(window), point, error);
    throwIf(error);
    return placeValue(env, place);
  });
}

CONTROL(dropIncomingDragControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 1);
    std::string error;
    IncomingDragPlace place = dropIncomingDrag(dragIdFrom(env, argv[0]), error);
    throwIf(error);
    return placeValue(env, place);
  });
}

CONTROL(cancelIncomingDragControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 1);
    std::string error;
    cancelIncomingDrag(dragIdFrom(env, argv[0]), error);
    throwIf(error);
    return undefinedValue(env);
  });
}

CONTROL(dropZonesControl) {
  return guarded(env, [&] {
    (void)info;
    napi_value out = array(env);
    for (const DropZoneInfo& zone : dropZones()) {
      napi_value entry = object(env);
      set(env, entry, "id", number(env, static_cast<double>(zone.id)));
      set(env, entry, "window", number(env, static_cast<double>(zone.windowNumber)));
      set(env, entry, "rect", fromRect(env, zone.rect));
      push(env, out, entry);
    }
    return out;
  });
}

CONTROL(webContentsDragEventsControl) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 1);
    const double window = toNumber(env, argv[0], "window number");
    napi_value out = array(env);
    for (const WebContentsDragEvent& event : webContentsDragEvents(static_cast<int64_t>(window))) {
      napi_value entry = object(env);
      set(env, entry, "drag", number(env, static_cast<double>(event.dragId)));
      set(env, entry, "type", string(env, event.type));
      set(env, entry, "x", number(env, event.point.x));
      set(env, entry, "y", number(env, event.point.y));
      napi_value items = array(env);
      for (const auto& item : event.items) {
        napi_value described = object(env);
        set(env, described, "kind", string(env, item.kind == Kind::kFile ? "file" : "promise"));
        set(env, described, "name", string(env, item.name));
        set(env, described, "path",
            item.kind == Kind::kFile ? string(env, item.path) : nullValue(env));
        push(env, items, described);
      }
      set(env, entry, "items", items);
      push(env, out, entry);
    }
    return out;
  });
}

CONTROL(unansweredReceiptsControl) {
  return guarded(env, [&] {
    (void)info;
    return number(env, static_cast<double>(unansweredReceipts()));
  });
}

#undef CONTROL

}  // namespace

void registerFileDropControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "beginIncomingDrag", beginIncomingDragControl);
  defineFunction(env, exports, "moveIncomingDrag", moveIncomingDragControl);
  defineFunction(env, exports, "dropIncomingDrag", dropIncomingDragControl);
  defineFunction(env, exports, "cancelIncomingDrag", cancelIncomingDragControl);
  defineFunction(env, exports, "dropZones", dropZonesControl);
  defineFunction(env, exports, "webContentsDragEvents", webContentsDragEventsControl);
  defineFunction(env, exports, "unansweredReceipts", unansweredReceiptsControl);
}

}  // namespace kestrovan::sim::control
