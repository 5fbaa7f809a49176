// The addon's eight exported functions, in registration order. Each answers
// JavaScript with a boolean and never throws of its own. The export table wraps
// every one: off the main thread it answers false with one line before the body
// runs, and on it the body runs in an ExportScope, so the bodies need neither.
#pragma once

#include <node_api.h>

namespace kestrovan {

napi_value performAlignmentFeedback(napi_env env, napi_callback_info info);
napi_value installDragRegionScrollForwarding(napi_env env, napi_callback_info info);
napi_value armPromiseDragOnWindowExit(napi_env env, napi_callback_info info);
napi_value disarmPromiseDrag(napi_env env, napi_callback_info info);
napi_value updatePromiseWriteProgress(napi_env env, napi_callback_info info);
napi_value startPromiseDrag(napi_env env, napi_callback_info info);
napi_value completePromiseWrite(napi_env env, napi_callback_info info);
napi_value installNavigationEventMonitor(napi_env env, napi_callback_info info);

// Defines the eight functions on `exports` and returns it.
napi_value registerModule(napi_env env, napi_value exports);

}  // namespace kestrovan
