#include "bridge/arguments.h"

namespace kestrovan {

bool isFunction(napi_env env, napi_value value) {
  napi_valuetype type;
  return value != nullptr && napi_typeof(env, value, &type) == napi_ok && type == napi_function;
}

}  // namespace kestrovan
