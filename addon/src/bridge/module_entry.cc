// The addon's entry point: Node-API looks up napi_register_module_v1 when the
// addon is loaded.

#include <node_api.h>

#include "bridge/exports.h"

extern "C" NAPI_MODULE_EXPORT napi_value napi_register_module_v1(napi_env env, napi_value exports) {
  return kestrovan::registerModule(env, exports);
}
