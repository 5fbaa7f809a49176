// Test-only addon: probes of the core that only real Node can check. It
// exposes the value helpers, the diagnostic log, the bridge's way of calling
// JavaScript, the platform's local monitors and file-promise providers, and
// the drag image, and a floor for the benchmarks. It holds no drag session
// (those are tested in test/core). Never shipped.

#include <node_api.h>

#include <memory>
#include <optional>
#include <string>

#include "bridge/js_call.h"
#include "bridge/native_log.h"
#include "bridge/stored_callback.h"
#include "bridge/value_helpers.h"
#include "canvas_sim.h"
#include "drag/drag_image.h"
#include "port/application.h"
#include "port/dragging.h"
#include "port/main_queue.h"
#include "port/platform_exception.h"

namespace {

using namespace kestrovan;

napi_value absentOr(napi_env env, const std::optional<std::string>& text) {
  napi_value out;
  if (!text) {
    napi_get_null(env, &out);
  } else {
    napi_create_string_utf8(env, text->data(), text->size(), &out);
  }
  return out;
}

std::string key(napi_env env, napi_value value) {
  auto text = stringFromNapi(env, value);
  return text.value_or("");
}

void args(napi_env env, napi_callback_info info, napi_value (&argv)[4]) {
  size_t argc = 4;
  napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr);
  napi_value undefined;
  napi_get_undefined(env, &undefined);
  for (size_t i = argc; i < 4; ++i) argv[i] = undefined;
}

// stringFromNapi(value) -> string | null
napi_value jsStringFromNapi(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  return absentOr(env, stringFromNapi(env, argv[0]));
}

// stringProperty(object, key) -> string | null
napi_value jsStringProperty(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  return absentOr(env, stringProperty(env, argv[0], key(env, argv[1])));
}

// wholeStringProperty(object, key) -> string | null
napi_value jsWholeStringProperty(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  return absentOr(env, wholeStringProperty(env, argv[0], key(env, argv[1])));
}

// intProperty(object, key) -> bigint | null (a BigInt, so 64-bit values are exact)
napi_value jsIntProperty(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  auto value = intProperty(env, argv[0], key(env, argv[1]));
  napi_value out;
  if (!value) {
    napi_get_null(env, &out);
  } else {
    napi_create_bigint_int64(env, *value, &out);
  }
  return out;
}

// setStringProperty(object, key, value) -> boolean
napi_value jsSetStringProperty(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  napi_value out;
  napi_get_boolean(env, setStringProperty(env, argv[0], key(env, argv[1]), key(env, argv[2])),
                   &out);
  return out;
}

// nativeLog(message)
napi_value jsNativeLog(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  nativeLog(key(env, argv[0]));
  napi_value undefined;
  napi_get_undefined(env, &undefined);
  return undefined;
}

napi_value undefinedValue(napi_env env) {
  napi_value undefined;
  napi_get_undefined(env, &undefined);
  return undefined;
}

// A function held as the addon holds its callbacks.
using HeldFunction = std::shared_ptr<StoredCallback>;

HeldFunction hold(napi_env env, napi_value fn) {
  return StoredCallback::create(env, fn, "KestrovanTestCallback");
}

napi_status callHeld(const HeldFunction& held, size_t argc, const napi_value* argv,
                     napi_value* result) {
  return held ? held->call(argc, argv, result) : napi_invalid_arg;
}

// postCall(fn): calls fn from a main-queue block, outside every export.
napi_value jsPostCall(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  HeldFunction held = hold(env, argv[0]);
  port::dispatchOnMainQueue([env, held]() mutable {
    napi_handle_scope scope;
    napi_open_handle_scope(env, &scope);
    callHeld(held, 0, nullptr, nullptr);
    napi_close_handle_scope(env, scope);
    held.reset();  // called once
  });
  return undefinedValue(env);
}

// callInsideExport(fn) -> napi status of the call, made the way an export calls a callback.
napi_value jsCallInsideExport(napi_env env, napi_callback_info info) {
  ExportScope exportScope;
  napi_value argv[4];
  args(env, info, argv);
  napi_status status = callJavaScript(env, nullptr, argv[0], 0, nullptr, nullptr);
  napi_value out;
  napi_create_uint32(env, static_cast<uint32_t>(status), &out);
  return out;
}

// addMonitor(mask, handler): a local monitor whose handler receives
// { type, window, x, y } and drops the event when it returns true.
napi_value jsAddMonitor(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  int64_t mask = 0;
  napi_get_value_int64(env, argv[0], &mask);
  HeldFunction held = hold(env, argv[1]);
  auto token =
      port::addLocalMonitor(static_cast<uint64_t>(mask), [env, held](const port::EventPtr& event) {
        napi_handle_scope scope;
        napi_open_handle_scope(env, &scope);
        napi_value description;
        napi_create_object(env, &description);
        auto setNumber = [&](const char* key, double value) {
          napi_value v;
          napi_create_double(env, value, &v);
          napi_set_named_property(env, description, key, v);
        };
        setNumber("type", static_cast<double>(event->type()));
        auto window = event->window();
        setNumber("window", window ? static_cast<double>(window->windowNumber()) : 0);
        setNumber("x", event->locationInWindow().x);
        setNumber("y", event->locationInWindow().y);
        napi_value result = nullptr;
        bool drop = false;
        if (callHeld(held, 1, &description, &result) == napi_ok)
          napi_get_value_bool(env, result, &drop);
        napi_close_handle_scope(env, scope);
        return drop ? nullptr : event;
      });
  napi_value out;
  napi_get_boolean(env, token != nullptr, &out);
  return out;
}

// dragImage(iconPath, fileType, itemCount) -> the simulated desktop's id of the
// image drawn, or null. A path or type that is not a string is absent.
napi_value jsDragImage(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  int64_t itemCount = 0;
  napi_get_value_int64(env, argv[2], &itemCount);
  port::ImagePtr image =
      dragImage(stringFromNapi(env, argv[0]), stringFromNapi(env, argv[1]), itemCount);
  auto id = sim::SimImages::instance().idOf(image.get());
  napi_value out;
  if (!id) {
    napi_get_null(env, &out);
  } else {
    napi_create_double(env, static_cast<double>(*id), &out);
  }
  return out;
}

// makeFilePromiseProvider(fileType) -> { made, exception: { name, reason } | null }: the
// platform's provider for a file type, and what it raised.
napi_value jsMakeFilePromiseProvider(napi_env env, napi_callback_info info) {
  napi_value argv[4];
  args(env, info, argv);
  port::takePlatformException();
  auto provider = port::makeFilePromiseProvider(key(env, argv[0]), nullptr, nullptr);
  auto raised = port::takePlatformException();
  napi_value out;
  napi_create_object(env, &out);
  napi_value made;
  napi_get_boolean(env, provider != nullptr, &made);
  napi_set_named_property(env, out, "made", made);
  napi_value exception;
  if (!raised) {
    napi_get_null(env, &exception);
  } else {
    napi_create_object(env, &exception);
    setStringProperty(env, exception, "name", raised->name);
    setStringProperty(env, exception, "reason", raised->reason);
  }
  napi_set_named_property(env, out, "exception", exception);
  return out;
}

// callFloor(token, fraction) -> false: what every token export does before its
// own work (fetch two arguments, read a string as they read the token and a
// number, answer a boolean), the floor the benchmarks measure the exports
// against.
napi_value jsCallFloor(napi_env env, napi_callback_info info) {
  size_t argc = 2;
  napi_value argv[2] = {nullptr, nullptr};
  bool ok = napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr) == napi_ok && argc >= 1;
  StringBuffer buffer;
  if (ok) ok = readString(env, argv[0], buffer).has_value();
  double fraction = 0;
  if (ok && argc >= 2) napi_get_value_double(env, argv[1], &fraction);
  napi_value out;
  napi_get_boolean(env, false, &out);
  return out;
}

napi_value init(napi_env env, napi_value exports) {
  const napi_property_descriptor properties[] = {
      {"stringFromNapi", nullptr, jsStringFromNapi, nullptr, nullptr, nullptr, napi_default,
       nullptr},
      {"stringProperty", nullptr, jsStringProperty, nullptr, nullptr, nullptr, napi_default,
       nullptr},
      {"wholeStringProperty", nullptr, jsWholeStringProperty, nullptr, nullptr, nullptr,
       napi_default, nullptr},
      {"intProperty", nullptr, jsIntProperty, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"setStringProperty", nullptr, jsSetStringProperty, nullptr, nullptr, nullptr, napi_default,
       nullptr},
      {"nativeLog", nullptr, jsNativeLog, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"postCall", nullptr, jsPostCall, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"callInsideExport", nullptr, jsCallInsideExport, nullptr, nullptr, nullptr, napi_default,
       nullptr},
      {"addMonitor", nullptr, jsAddMonitor, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"dragImage", nullptr, jsDragImage, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"callFloor", nullptr, jsCallFloor, nullptr, nullptr, nullptr, napi_default, nullptr},
      {"makeFilePromiseProvider", nullptr, jsMakeFilePromiseProvider, nullptr, nullptr, nullptr,
       napi_default, nullptr},
  };
  napi_define_properties(env, exports, sizeof properties / sizeof properties[0], properties);
  return exports;
}

}  // namespace

NAPI_MODULE(NODE_GYP_MODULE_NAME, init)
