#include "bridge/js_call.h"

namespace kestrovan {

namespace {
// Exports running on this thread, counting nested ones (an export called from
// a callback of another export). Per thread, so a worker's calls never count.
thread_local int exportDepth = 0;
}  // namespace

ExportScope::ExportScope() { ++exportDepth; }
ExportScope::~ExportScope() { --exportDepth; }
bool ExportScope::insideExport() { return exportDepth > 0; }

napi_status callJavaScript(napi_env env, napi_value function, size_t argc, const napi_value* argv,
                           napi_value* result) {
  napi_value undefined;
  napi_status status = napi_get_undefined(env, &undefined);
  if (status != napi_ok) return status;
  napi_value ignored;
  status = napi_call_function(env, undefined, function, argc, argv, result ? result : &ignored);
  if (!ExportScope::insideExport()) {
    bool pending = false;
    if (napi_is_exception_pending(env, &pending) == napi_ok && pending) {
      napi_value error;
      if (napi_get_and_clear_last_exception(env, &error) == napi_ok) {
        napi_fatal_exception(env, error);
      }
    }
  }
  return status;
}

}  // namespace kestrovan
