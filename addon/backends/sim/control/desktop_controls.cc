// Control functions for the application, windows, views, the mouse, events,
// the main queue, the clock and the log.

#include <set>
#include <string>
#include <utility>

#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"

namespace kestrovan::sim::control {

namespace {

Desktop& desktop() { return Desktop::instance(); }

DragRegionHit toDragRegionHit(const std::string& text) {
  if (text == "none") return DragRegionHit::kNone;
  if (text == "contentView") return DragRegionHit::kContentView;
  if (text == "self") return DragRegionHit::kSelf;
  throw ControlError{"dragRegionHit must be \"none\", \"contentView\" or \"self\""};
}

ViewDescription toViewDescription(napi_env env, napi_value value) {
  if (typeOf(env, value) != napi_object) throw ControlError{"a view must be an object"};
  ViewDescription view;
  if (auto v = get(env, value, "id")) view.id = toString(env, *v, "id");
  if (auto v = get(env, value, "className")) view.className = toString(env, *v, "className");
  if (auto v = get(env, value, "frame")) view.frame = toRect(env, *v, "frame");
  if (auto v = get(env, value, "boundsOrigin"))
    view.boundsOrigin = toPoint(env, *v, "boundsOrigin");
  if (auto v = get(env, value, "hidden")) view.hidden = toBool(env, *v, "hidden");
  if (auto v = get(env, value, "dragRegions")) {
    for (napi_value r : toArray(env, *v, "dragRegions"))
      view.dragRegions.push_back(toRect(env, r, "dragRegion"));
  }
  if (auto v = get(env, value, "dragRegionHit")) {
    view.dragRegionHit = toDragRegionHit(toString(env, *v, "dragRegionHit"));
  }
  if (auto v = get(env, value, "children")) {
    for (napi_value c : toArray(env, *v, "children"))
      view.children.push_back(toViewDescription(env, c));
  }
  return view;
}

// undefined: a plain content view filling the window; null: no content view.
std::optional<ViewDescription> toContentView(napi_env env, napi_value value) {
  auto type = typeOf(env, value);
  if (type == napi_null) return std::nullopt;
  if (type == napi_undefined) return ViewDescription{};
  return toViewDescription(env, value);
}

std::shared_ptr<SimWindow> windowArgument(napi_env env, napi_value value) {
  int64_t number = static_cast<int64_t>(toNumber(env, value, "window number"));
  auto window = desktop().window(number);
  if (!window) throw ControlError{"no window " + std::to_string(number)};
  return window;
}

std::shared_ptr<SimWindow> optionalWindowArgument(napi_env env, napi_value value) {
  if (isNullish(env, value)) return nullptr;
  return windowArgument(env, value);
}

EventDescription toEventDescription(napi_env env, napi_value value) {
  if (typeOf(env, value) != napi_object) throw ControlError{"an event must be an object"};
  EventDescription event;
  auto type = get(env, value, "type");
  if (!type) throw ControlError{"event.type is missing"};
  event.type = static_cast<uint64_t>(toNumber(env, *type, "type"));
  if (auto v = get(env, value, "window")) event.windowNumber = windowArgument(env, *v)->number;
  if (auto v = get(env, value, "location")) event.location = toPoint(env, *v, "location");
  if (auto v = get(env, value, "modifierFlags")) {
    event.modifierFlags = static_cast<uint64_t>(toNumber(env, *v, "modifierFlags"));
  }
  if (auto v = get(env, value, "deltaX")) event.deltaX = toNumber(env, *v, "deltaX");
  if (auto v = get(env, value, "buttonNumber")) {
    event.buttonNumber = static_cast<int64_t>(toNumber(env, *v, "buttonNumber"));
  }
  return event;
}

napi_value windowInfo(napi_env env, const SimWindow& window) {
  napi_value o = object(env);
  set(env, o, "number", number(env, static_cast<double>(window.number)));
  set(env, o, "frame", fromRect(env, window.frame));
  set(
      env, o, "contentView", window.content ? string(env, window.content->id) : [&] {
        napi_value n;
        napi_get_null(env, &n);
        return n;
      }());
  set(env, o, "frameView", string(env, window.frameView->id));
  return o;
}

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(reset) {
  return guarded(env, [&] {
    desktop().reset();
    return undefinedValue(env);
  });
}

CONTROL(createWindow) {
  return guarded(env, [&] {
    napi_value options = arguments(env, info, 1)[0];
    if (typeOf(env, options) != napi_object) throw ControlError{"createWindow takes an object"};
    std::optional<int64_t> windowNumber;
    if (auto v = get(env, options, "number"))
      windowNumber = static_cast<int64_t>(toNumber(env, *v, "number"));
    auto frameValue = get(env, options, "frame");
    if (!frameValue) throw ControlError{"createWindow: frame is missing"};
    port::Rect frame = toRect(env, *frameValue, "frame");
    napi_value content;
    if (napi_get_named_property(env, options, "contentView", &content) != napi_ok) {
      throw ControlError{"cannot read contentView"};
    }
    auto window = desktop().createWindow(windowNumber, frame, toContentView(env, content));
    if (auto v = get(env, options, "key"); v && toBool(env, *v, "key"))
      desktop().keyWindow = window;
    if (auto v = get(env, options, "main"); v && toBool(env, *v, "main"))
      desktop().mainWindow = window;
    return windowInfo(env, *window);
  });
}

CONTROL(windowInfoControl) {
  return guarded(env,
                 [&] { return windowInfo(env, *windowArgument(env, arguments(env, info, 1)[0])); });
}

CONTROL(windowNumbers) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const auto& w : desktop().windows())
      push(env, out, number(env, static_cast<double>(w->number)));
    return out;
  });
}

CONTROL(closeWindow) {
  return guarded(env, [&] {
    desktop().closeWindow(windowArgument(env, arguments(env, info, 1)[0])->number);
    return undefinedValue(env);
  });
}

CONTROL(setContentView) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 2);
    auto window = windowArgument(env, argv[0]);
    desktop().setContentView(window->number, toContentView(env, argv[1]));
    return windowInfo(env, *window);
  });
}

CONTROL(setKeyWindow) {
  return guarded(env, [&] {
    desktop().keyWindow = optionalWindowArgument(env, arguments(env, info, 1)[0]);
    return undefinedValue(env);
  });
}

CONTROL(setMainWindow) {
  return guarded(env, [&] {
    desktop().mainWindow = optionalWindowArgument(env, arguments(env, info, 1)[0]);
    return undefinedValue(env);
  });
}

CONTROL(setViewProperties) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 2);
    std::string id = toString(env, argv[0], "view id");
    auto view = desktop().view(id);
    if (!view) throw ControlError{"no view " + id};
    if (auto v = get(env, argv[1], "hidden")) view->hidden = toBool(env, *v, "hidden");
    if (auto v = get(env, argv[1], "frame")) view->frame = toRect(env, *v, "frame");
    if (auto v = get(env, argv[1], "className")) view->cls = toString(env, *v, "className");
    return undefinedValue(env);
  });
}

CONTROL(viewDeliveries) {
  return guarded(env, [&] {
    std::string id = toString(env, arguments(env, info, 1)[0], "view id");
    auto view = desktop().view(id);
    if (!view) throw ControlError{"no view " + id};
    napi_value out = array(env);
    for (const auto& d : view->deliveries) {
      napi_value o = object(env);
      set(env, o, "event", number(env, static_cast<double>(d.eventSerial)));
      set(env, o, "type", number(env, static_cast<double>(d.eventType)));
      set(env, o, "via", string(env, d.via));
      push(env, out, o);
    }
    return out;
  });
}

CONTROL(setApplicationActive) {
  return guarded(env, [&] {
    desktop().active = toBool(env, arguments(env, info, 1)[0], "active");
    return undefinedValue(env);
  });
}

CONTROL(setApplicationPresent) {
  return guarded(env, [&] {
    desktop().applicationPresent = toBool(env, arguments(env, info, 1)[0], "present");
    return undefinedValue(env);
  });
}

CONTROL(moveMouse) {
  return guarded(env, [&] {
    auto argv = arguments(env, info, 2);
    desktop().mouse = {toNumber(env, argv[0], "x"), toNumber(env, argv[1], "y")};
    return undefinedValue(env);
  });
}

CONTROL(mouseLocation) {
  return guarded(env, [&] { return fromPoint(env, desktop().mouse); });
}

CONTROL(setPressedButtons) {
  return guarded(env, [&] {
    desktop().pressedButtons =
        static_cast<uint64_t>(toNumber(env, arguments(env, info, 1)[0], "mask"));
    return undefinedValue(env);
  });
}

CONTROL(pressedButtons) {
  return guarded(env, [&] { return number(env, static_cast<double>(desktop().pressedButtons)); });
}

CONTROL(sendEvent) {
  return guarded(env, [&] {
    auto event = desktop().makeEvent(toEventDescription(env, arguments(env, info, 1)[0]));
    DispatchResult result = desktop().dispatch(event);
    napi_value o = object(env);
    set(env, o, "event", number(env, static_cast<double>(result.eventSerial)));
    set(env, o, "takenByDrag", boolean(env, result.takenByDrag));
    set(env, o, "dropped", boolean(env, result.dropped));
    napi_value delivered;
    if (result.deliveredTo.empty()) {
      napi_get_null(env, &delivered);
    } else {
      delivered = string(env, result.deliveredTo);
    }
    set(env, o, "deliveredTo", delivered);
    return o;
  });
}

CONTROL(setCurrentEvent) {
  return guarded(env, [&] {
    napi_value value = arguments(env, info, 1)[0];
    if (isNullish(env, value)) {
      desktop().currentEvent.reset();
      return undefinedValue(env);
    }
    auto event = desktop().makeEvent(toEventDescription(env, value));
    desktop().currentEvent = event;
    return number(env, static_cast<double>(event->serial));
  });
}

CONTROL(refuseMouseEventCreation) {
  return guarded(env, [&] {
    desktop().refuseMouseEventCreation = toBool(env, arguments(env, info, 1)[0], "refuse");
    return undefinedValue(env);
  });
}

CONTROL(refuseDraggingSession) {
  return guarded(env, [&] {
    desktop().refuseDraggingSession = toBool(env, arguments(env, info, 1)[0], "refuse");
    return undefinedValue(env);
  });
}

CONTROL(monitors) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const auto& m : desktop().monitors()) {
      napi_value o = object(env);
      set(env, o, "id", number(env, static_cast<double>(m.id)));
      set(env, o, "mask", number(env, static_cast<double>(m.mask)));
      push(env, out, o);
    }
    return out;
  });
}

CONTROL(runMainQueue) {
  return guarded(env, [&] { return number(env, desktop().runDue()); });
}

CONTROL(advanceClock) {
  return guarded(env, [&] {
    double seconds = toNumber(env, arguments(env, info, 1)[0], "seconds");
    if (!(seconds >= 0)) throw ControlError{"seconds must be a number of at least 0"};
    return number(env, desktop().advance(seconds));
  });
}

CONTROL(now) {
  return guarded(env, [&] { return number(env, desktop().now()); });
}

CONTROL(pendingBlocks) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (double due : desktop().pendingDueTimes()) push(env, out, number(env, due));
    return out;
  });
}

CONTROL(log) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const auto& line : desktop().log()) push(env, out, string(env, line));
    return out;
  });
}

CONTROL(clearLog) {
  return guarded(env, [&] {
    desktop().clearLog();
    return undefinedValue(env);
  });
}

CONTROL(setLogEcho) {
  return guarded(env, [&] {
    desktop().echoLogToStderr = toBool(env, arguments(env, info, 1)[0], "echo");
    return undefinedValue(env);
  });
}

CONTROL(violations) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const auto& line : desktop().violations()) push(env, out, string(env, line));
    return out;
  });
}

CONTROL(clearViolations) {
  return guarded(env, [&] {
    desktop().clearViolations();
    return undefinedValue(env);
  });
}

CONTROL(setRaisingCalls) {
  return guarded(env, [&] {
    std::set<std::string, std::less<>> selectors;
    for (napi_value selector : toArray(env, arguments(env, info, 1)[0], "selectors")) {
      selectors.insert(toString(env, selector, "selector"));
    }
    desktop().raisingCalls = std::move(selectors);
    return undefinedValue(env);
  });
}

CONTROL(setMainThread) {
  return guarded(env, [&] {
    desktop().setMainThreadToCurrent();
    return undefinedValue(env);
  });
}

CONTROL(isMainThread) {
  return guarded(env, [&] { return boolean(env, desktop().onMainThread()); });
}

#undef CONTROL

}  // namespace

void registerDesktopControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "reset", reset);
  defineFunction(env, exports, "createWindow", createWindow);
  defineFunction(env, exports, "windowInfo", windowInfoControl);
  defineFunction(env, exports, "closeWindow", closeWindow);
  defineFunction(env, exports, "windowNumbers", windowNumbers);
  defineFunction(env, exports, "setContentView", setContentView);
  defineFunction(env, exports, "setKeyWindow", setKeyWindow);
  defineFunction(env, exports, "setMainWindow", setMainWindow);
  defineFunction(env, exports, "setViewProperties", setViewProperties);
  defineFunction(env, exports, "viewDeliveries", viewDeliveries);
  defineFunction(env, exports, "setApplicationActive", setApplicationActive);
  defineFunction(env, exports, "setApplicationPresent", setApplicationPresent);
  defineFunction(env, exports, "moveMouse", moveMouse);
  defineFunction(env, exports, "mouseLocation", mouseLocation);
  defineFunction(env, exports, "setPressedButtons", setPressedButtons);
  defineFunction(env, exports, "pressedButtons", pressedButtons);
  defineFunction(env, exports, "sendEvent", sendEvent);
  defineFunction(env, exports, "setCurrentEvent", setCurrentEvent);
  defineFunction(env, exports, "refuseMouseEventCreation", refuseMouseEventCreation);
  defineFunction(env, exports, "refuseDraggingSession", refuseDraggingSession);
  defineFunction(env, exports, "monitors", monitors);
  defineFunction(env, exports, "runMainQueue", runMainQueue);
  defineFunction(env, exports, "advanceClock", advanceClock);
  defineFunction(env, exports, "now", now);
  defineFunction(env, exports, "pendingBlocks", pendingBlocks);
  defineFunction(env, exports, "log", log);
  defineFunction(env, exports, "clearLog", clearLog);
  defineFunction(env, exports, "setLogEcho", setLogEcho);
  defineFunction(env, exports, "violations", violations);
  defineFunction(env, exports, "clearViolations", clearViolations);
  defineFunction(env, exports, "setRaisingCalls", setRaisingCalls);
  defineFunction(env, exports, "setMainThread", setMainThread);
  defineFunction(env, exports, "isMainThread", isMainThread);
}

}  // namespace kestrovan::sim::control
