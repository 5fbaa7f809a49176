#include "bridge/arguments.h"

namespace kestrovan {

Arguments fetchArguments(napi_env env, napi_callback_info info, size_t capacity) {
  Arguments arguments;
  size_t count = capacity;
  arguments.fetched =
      napi_get_cb_info(env, info, &count, arguments.values, nullptr, nullptr) == napi_ok;
  arguments.count = arguments.fetched ? count : 0;
  return arguments;
}

bool isFunction(napi_env env, napi_value value) {
  napi_valuetype type;
  return value != nullptr && napi_typeof(env, value, &type) == napi_ok && type == napi_function;
}

napi_value booleanResult(napi_env env, bool value) {
  napi_value result = nullptr;
  napi_get_boolean(env, value, &result);
  return result;
}

}  // namespace kestrovan
