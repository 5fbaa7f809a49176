// Small Node-API helpers for the desktop control module. Unlike the addon, the
// control module is a test tool: bad arguments throw a TypeError.
#pragma once

#include <node_api.h>

#include <optional>
#include <string>
#include <vector>

#include "port/geometry.h"

namespace kestrovan::sim::control {

// Thrown (as a C++ exception) to end a control function with a JavaScript TypeError.
struct ControlError {
  std::string message;
};

napi_value undefinedValue(napi_env env);
napi_value number(napi_env env, double value);
napi_value boolean(napi_env env, bool value);
napi_value string(napi_env env, const std::string& value);
napi_value object(napi_env env);
napi_value array(napi_env env);
void set(napi_env env, napi_value object, const char* key, napi_value value);
void push(napi_env env, napi_value array, napi_value value);

napi_valuetype typeOf(napi_env env, napi_value value);
bool isNullish(napi_env env, napi_value value);
std::optional<napi_value> get(napi_env env, napi_value object, const char* key);
double toNumber(napi_env env, napi_value value, const char* what);
bool toBool(napi_env env, napi_value value, const char* what);
std::string toString(napi_env env, napi_value value, const char* what);
std::vector<napi_value> toArray(napi_env env, napi_value value, const char* what);
port::Rect toRect(napi_env env, napi_value value, const char* what);
port::Point toPoint(napi_env env, napi_value value, const char* what);
napi_value fromRect(napi_env env, const port::Rect& rect);
napi_value fromPoint(napi_env env, const port::Point& point);

// Reads the call's arguments into `argv` (missing ones undefined).
std::vector<napi_value> arguments(napi_env env, napi_callback_info info, size_t count);

// Runs `body`, turning a ControlError into a thrown TypeError.
template <typename Body>
napi_value guarded(napi_env env, Body body) {
  try {
    return body();
  } catch (const ControlError& error) {
    napi_throw_type_error(env, nullptr, error.message.c_str());
    return nullptr;
  }
}

// Registers `fn` under `name` on `exports`.
void defineFunction(napi_env env, napi_value exports, const char* name, napi_callback fn);

}  // namespace kestrovan::sim::control
