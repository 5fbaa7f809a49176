// The drop zones' module entry point (kestrovan_file_drops.node): Node-API
// looks up napi_register_module_v1 when the module is loaded.

#include <node_api.h>

#include "bridge/file_drops_exports.h"

extern "C" NAPI_MODULE_EXPORT napi_value napi_register_module_v1(napi_env env, napi_value exports) {
  return kestrovan::registerFileDropsModule(env, exports);
}
