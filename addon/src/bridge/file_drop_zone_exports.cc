// The drop zones' exports (file_drops_exports.h), the registry of open zones
// and what an environment's end lets go of.
//
// The registry holds every open zone with its listener, by id, in state that
// lives for the process (never destroyed, so no static destructor calls
// Node-API). A zone leaves it when it closes (close, its window going away);
// when the environment that opened it ends, its callback is let go of first,
// then it is closed, telling nobody.

#include <node_api.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/arguments.h"
#include "bridge/file_drops_exports.h"
#include "bridge/javascript_drop_zone_listener.h"
#include "bridge/js_call.h"
#include "bridge/log_line.h"
#include "bridge/native_log.h"
#include "bridge/stored_callback.h"
#include "bridge/value_helpers.h"
#include "drops/drop_zone.h"
#include "port/application.h"
#include "port/platform_exception.h"

namespace kestrovan {

namespace {

struct OpenZone {
  napi_env env = nullptr;
  std::shared_ptr<drops::DropZone> zone;
  std::shared_ptr<JavaScriptDropZoneListener> listener;
};

std::map<uint64_t, OpenZone>& openZones() {
  static auto* zones = new std::map<uint64_t, OpenZone>();
  return *zones;
}

uint64_t nextZoneId = 1;

std::vector<napi_env>& watchedEnvironments() {
  static auto* environments = new std::vector<napi_env>();
  return *environments;
}

void environmentEnded(void* data) {
  auto env = static_cast<napi_env>(data);
  std::erase(watchedEnvironments(), env);
  // Taken out first: closing tells the registry nothing (the callbacks are
  // let go of), but the copy keeps the walk off a map that changes.
  std::vector<OpenZone> ending;
  for (auto it = openZones().begin(); it != openZones().end();) {
    if (it->second.env == env) {
      ending.push_back(std::move(it->second));
      it = openZones().erase(it);
    } else {
      ++it;
    }
  }
  for (OpenZone& open : ending) {
    open.listener->release();
    open.zone->close();
  }
}

void watchEnvironment(napi_env env) {
  std::vector<napi_env>& watched = watchedEnvironments();
  if (std::find(watched.begin(), watched.end(), env) != watched.end()) return;
  if (napi_add_env_cleanup_hook(env, environmentEnded, env) == napi_ok) watched.push_back(env);
}

napi_value stringResult(napi_env env, const std::string& text) {
  napi_value result = nullptr;
  napi_create_string_utf8(env, text.c_str(), text.size(), &result);
  return result;
}

napi_value numberResult(napi_env env, double value) {
  napi_value result = nullptr;
  napi_create_double(env, value, &result);
  return result;
}

// The rectangle in `object`, when each of x, y, width, height is a finite
// number and the sizes are not negative.
std::optional<port::Rect> rectFrom(napi_env env, napi_value object) {
  auto x = numberProperty(env, object, "x");
  auto y = numberProperty(env, object, "y");
  auto width = numberProperty(env, object, "width");
  auto height = numberProperty(env, object, "height");
  if (!x || !y || !width || !height) return std::nullopt;
  if (!std::isfinite(*x) || !std::isfinite(*y) || !std::isfinite(*width) ||
      !std::isfinite(*height) || *width < 0 || *height < 0) {
    return std::nullopt;
  }
  return port::Rect{*x, *y, *width, *height};
}

// The open zone with the id in `value`, or none.
OpenZone* zoneWithId(napi_env env, napi_value value) {
  double id = 0;
  if (value == nullptr || napi_get_value_double(env, value, &id) != napi_ok) {
    discardPendingException(env);
    return nullptr;
  }
  if (!(id >= 1) || id != std::floor(id) || id > 9007199254740991.0) return nullptr;
  auto it = openZones().find(static_cast<uint64_t>(id));
  return it == openZones().end() ? nullptr : &it->second;
}

port::WindowPtr zoneWindow(int64_t windowNumber) {
  port::Application* application = port::sharedApplication();
  if (application == nullptr) return nullptr;
  if (windowNumber != 0) return application->windowWithWindowNumber(windowNumber);
  port::WindowPtr window = application->keyWindow();
  return window ? window : application->mainWindow();
}

}  // namespace

napi_value openFileDropZone(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched) return stringResult(env, "the arguments could not be read");
  napi_value request = arguments.values[0];
  auto windowNumber = numberProperty(env, request, "windowNumber");
  auto rect = rectFrom(env, request);
  auto destination = wholeStringProperty(env, request, "destination");
  auto timeoutMs = numberProperty(env, request, "timeoutMs");
  if (!windowNumber || !std::isfinite(*windowNumber) ||
      *windowNumber != std::floor(*windowNumber)) {
    return stringResult(env, "windowNumber must be an integer");
  }
  if (!rect) return stringResult(env, "the rectangle must be finite, its size not negative");
  if (!destination || destination->empty() || destination->front() != '/' ||
      destination->find('\0') != std::string::npos) {
    return stringResult(env, "destination must be an absolute path");
  }
  if (!timeoutMs || !(*timeoutMs >= 1) || !(*timeoutMs <= 2147483647.0)) {
    return stringResult(env, "timeoutMs must be a number from 1 to 2147483647");
  }
  if (!isFunction(env, arguments.values[1])) return stringResult(env, "onEvent must be a function");

  port::WindowPtr window = zoneWindow(static_cast<int64_t>(*windowNumber));
  if (!window) {
    return stringResult(env, *windowNumber == 0 ? std::string("there is no key or main window")
                                                : logLine("there is no window with number ",
                                                          static_cast<int64_t>(*windowNumber)));
  }
  StoredCallbackPtr callback =
      StoredCallback::create(env, arguments.values[1], "kestrovan:dropZone");
  if (!callback) return stringResult(env, "the event callback could not be kept");

  const uint64_t id = nextZoneId++;
  auto listener = std::make_shared<JavaScriptDropZoneListener>(std::move(callback),
                                                               [id] { openZones().erase(id); });
  auto zone = drops::DropZone::open(
      window, *rect, {*destination, static_cast<int64_t>(std::ceil(*timeoutMs))}, listener);
  if (auto raised = port::takePlatformException()) {
    if (zone) {
      listener->release();
      zone->close();
    }
    return stringResult(env, logLine("AppKit raised ", raised->name, ": ", raised->reason));
  }
  if (!zone) {
    listener->release();
    return stringResult(env, "the window has no content view to put the zone on");
  }
  openZones()[id] = OpenZone{env, zone, listener};
  return numberResult(env, static_cast<double>(id));
}

napi_value setFileDropZoneRect(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched) return booleanResult(env, false);
  OpenZone* open = zoneWithId(env, arguments.values[0]);
  auto rect = rectFrom(env, arguments.values[1]);
  if (open == nullptr || !rect) return booleanResult(env, false);
  open->zone->setRect(*rect);
  return booleanResult(env, true);
}

napi_value closeFileDropZone(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 1);
  if (!arguments.fetched) return booleanResult(env, false);
  OpenZone* open = zoneWithId(env, arguments.values[0]);
  if (open == nullptr) return booleanResult(env, false);
  // Kept here: closing takes it out of the registry.
  std::shared_ptr<drops::DropZone> zone = open->zone;
  zone->close();
  return booleanResult(env, true);
}

namespace {

constexpr char kOpenFileDropZone[] = "openFileDropZone";
constexpr char kSetFileDropZoneRect[] = "setFileDropZoneRect";
constexpr char kCloseFileDropZone[] = "closeFileDropZone";

// As the main module's export table: main thread only, inside an
// ExportScope; an AppKit exception the body left kept is its failure.
template <const char* Name, napi_callback Body>
napi_value exported(napi_env env, napi_callback_info info) {
  const bool answersText = Name == kOpenFileDropZone;
  if (!port::isMainThread()) {
    nativeLogLine(Name, " rejected: not on the main thread");
    return answersText ? stringResult(env, "not on the main thread") : booleanResult(env, false);
  }
  ExportScope scope;
  port::takePlatformException();
  napi_value result = Body(env, info);
  if (auto raised = port::takePlatformException()) {
    nativeLogLine(Name, " rejected: AppKit exception name=", raised->name,
                  " reason=", raised->reason);
    if (!answersText) return booleanResult(env, false);
  }
  return result;
}

template <const char* Name, napi_callback Body>
napi_property_descriptor method() {
  return napi_property_descriptor{Name,    nullptr, exported<Name, Body>, nullptr,
                                  nullptr, nullptr, napi_default,         nullptr};
}

}  // namespace

napi_value registerFileDropsModule(napi_env env, napi_value exports) {
  if (port::isMainThread()) watchEnvironment(env);
  const napi_property_descriptor methods[] = {
      method<kOpenFileDropZone, openFileDropZone>(),
      method<kSetFileDropZoneRect, setFileDropZoneRect>(),
      method<kCloseFileDropZone, closeFileDropZone>(),
  };
  napi_define_properties(env, exports, 3, methods);
  return exports;
}

}  // namespace kestrovan
