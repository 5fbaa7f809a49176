#include "bridge/js_call.h"

namespace kestrovan {

namespace {
// Exports running on this thread, counting nested ones (an export called from
// a callback of another export). Per thread, so a worker's calls never count.
thread_local int exportDepth = 0;
}  // namespace

ExportScope::ExportScope() : depth_(&exportDepth) { ++*depth_; }
ExportScope::~ExportScope() { --*depth_; }
bool ExportScope::insideExport() { return exportDepth > 0; }

napi_status callJavaScript(napi_env env, napi_async_context context, napi_value function,
                           size_t argc, const napi_value* argv, napi_value* result) {
  napi_value undefined;
  napi_status status = napi_get_undefined(env, &undefined);
  if (status != napi_ok) return status;
  napi_value ignored;
  if (ExportScope::insideExport()) {
    return napi_call_function(env, undefined, function, argc, argv, result ? result : &ignored);
  }
  // napi_make_callback's scope, opened around a plain call: napi_make_callback
  // itself would turn the undefined receiver into an object. The resource
  // object is required but ignored; the context carries the async resource.
  napi_value resource = nullptr;
  napi_callback_scope scope = nullptr;
  const bool scoped = napi_create_object(env, &resource) == napi_ok &&
                      napi_open_callback_scope(env, resource, context, &scope) == napi_ok;
  status = napi_call_function(env, undefined, function, argc, argv, result ? result : &ignored);
  napi_value error = nullptr;
  bool pending = false;
  if (napi_is_exception_pending(env, &pending) == napi_ok && pending) {
    napi_get_and_clear_last_exception(env, &error);
  }
  // Closing the scope runs the microtasks the callback queued.
  if (scoped) napi_close_callback_scope(env, scope);
  if (error != nullptr) napi_fatal_exception(env, error);
  return status;
}

}  // namespace kestrovan
