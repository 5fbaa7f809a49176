// Argument fetching shared by the exports: a fixed array of capacity 1 or 2,
// every slot preset to null, the count as the caller passed it.
#pragma once

#include <node_api.h>

#include <cstddef>

namespace kestrovan {

struct Arguments {
  bool fetched = false;  // napi_get_cb_info succeeded
  size_t count = 0;      // arguments the caller actually passed
  napi_value values[2] = {nullptr, nullptr};
};

// (Inline, as the rest of this header: every export starts here.)
inline Arguments fetchArguments(napi_env env, napi_callback_info info, size_t capacity) {
  Arguments arguments;
  size_t count = capacity;
  arguments.fetched =
      napi_get_cb_info(env, info, &count, arguments.values, nullptr, nullptr) == napi_ok;
  arguments.count = arguments.fetched ? count : 0;
  return arguments;
}

// True when the value's type can be read and is a function.
bool isFunction(napi_env env, napi_value value);

// The JavaScript boolean for an export's result.
inline napi_value booleanResult(napi_env env, bool value) {
  napi_value result = nullptr;
  napi_get_boolean(env, value, &result);
  return result;
}

}  // namespace kestrovan
