// The one way the addon calls JavaScript functions it was handed.
//
// Inside an export (JavaScript called the addon, which calls back), the call
// is a plain napi_call_function: an exception the callback throws stays
// pending and reaches that export's caller.
//
// Outside every export (an event handler, a main-queue block) the call runs
// in a callback scope of the callback's own async context, as
// napi_make_callback and Node's own asynchronous callbacks run
// (napi_open_callback_scope around the call, so that `this` stays undefined):
// the microtasks it queues run when it returns (an AppKit handler is no
// checkpoint of its own), and async hooks and AsyncLocalStorage see the
// context in which the callback was handed over. No JavaScript caller exists
// there to receive an exception: left pending it would poison every later
// Node-API call, so it is taken and raised as an uncaught exception of the
// process, the way Node treats a throwing asynchronous callback.
#pragma once

#include <node_api.h>

#include <cstddef>

namespace kestrovan {

// Marks that an export of the addon is running. Every export opens one first.
class ExportScope {
 public:
  ExportScope();
  ~ExportScope();
  ExportScope(const ExportScope&) = delete;
  ExportScope& operator=(const ExportScope&) = delete;

  static bool insideExport();

 private:
  int* depth_;  // this thread's count, looked up once
};

// Calls `function` with `this` undefined by the rules above; returns the
// call's status. `context` is the callback's async context (napi_async_init).
// `result` may be null when the result is not needed.
napi_status callJavaScript(napi_env env, napi_async_context context, napi_value function,
                           size_t argc, const napi_value* argv, napi_value* result);

}  // namespace kestrovan
