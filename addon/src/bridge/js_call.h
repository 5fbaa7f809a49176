// The one way the addon calls JavaScript functions it was handed.
//
// Inside an export (JavaScript called the addon, which calls back), an
// exception the callback throws stays pending and reaches that export's
// caller. Outside every export (an event handler, a main-queue block), no
// JavaScript caller exists to receive it: left pending it would poison every
// later Node-API call and be thrown out of an unrelated export later. There the
// exception is taken and raised as an uncaught exception of the process, the
// way Node treats a throwing asynchronous callback.
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
};

// napi_call_function with `this` undefined; returns the call's status. `result`
// may be null when the result is not needed.
napi_status callJavaScript(napi_env env, napi_value function, size_t argc, const napi_value* argv,
                           napi_value* result);

}  // namespace kestrovan
