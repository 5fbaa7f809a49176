// The export table.

#include <node_api.h>

#include "bridge/arguments.h"
#include "bridge/environment_teardown.h"
#include "bridge/exports.h"
#include "bridge/js_call.h"
#include "bridge/native_log.h"
#include "port/application.h"
#include "port/platform_exception.h"

namespace kestrovan {

namespace {

// The JavaScript names, as template arguments.
constexpr char kPerformAlignmentFeedback[] = "performAlignmentFeedback";
constexpr char kInstallDragRegionScrollForwarding[] = "installDragRegionScrollForwarding";
constexpr char kArmPromiseDragOnWindowExit[] = "armPromiseDragOnWindowExit";
constexpr char kDisarmPromiseDrag[] = "disarmPromiseDrag";
constexpr char kUpdatePromiseWriteProgress[] = "updatePromiseWriteProgress";
constexpr char kStartPromiseDrag[] = "startPromiseDrag";
constexpr char kCompletePromiseWrite[] = "completePromiseWrite";
constexpr char kInstallNavigationEventMonitor[] = "installNavigationEventMonitor";

// Every export runs in an ExportScope, and only on the main thread: AppKit may
// be touched nowhere else, and a worker's environment must never be stored for
// AppKit's handlers to use on the main thread. Off it, the call answers false
// with one line and touches nothing.
//
// An Objective-C exception AppKit raised in a port call of the body, and that
// the body did not take up itself, makes the answer false with a line naming
// it (port/platform_exception.h); one kept from outside every export (a
// handler) is dropped first.
template <const char* Name, napi_callback Body>
napi_value exported(napi_env env, napi_callback_info info) {
  if (!port::isMainThread()) {
    nativeLogLine(Name, " rejected: not on the main thread");
    return booleanResult(env, false);
  }
  ExportScope scope;
  // (Asked first, taken only when there is one: the token exports run for
  // every chunk a writer writes.)
  if (port::platformExceptionPending()) port::takePlatformException();
  napi_value result = Body(env, info);
  if (!port::platformExceptionPending()) return result;
  if (auto raised = port::takePlatformException()) {
    nativeLogLine(Name, " rejected: AppKit exception name=", raised->name,
                  " reason=", raised->reason);
    return booleanResult(env, false);
  }
  return result;
}

template <const char* Name, napi_callback Body>
napi_property_descriptor method() {
  return napi_property_descriptor{Name,    nullptr, exported<Name, Body>, nullptr,
                                  nullptr, nullptr, napi_default,         nullptr};
}

}  // namespace

napi_value registerModule(napi_env env, napi_value exports) {
  // Only a main-thread environment can leave anything with the addon.
  if (port::isMainThread()) watchEnvironment(env);
  // One call each for the first five, in table order; the last three together.
  const napi_property_descriptor single[] = {
      method<kPerformAlignmentFeedback, performAlignmentFeedback>(),
      method<kInstallDragRegionScrollForwarding, installDragRegionScrollForwarding>(),
      method<kArmPromiseDragOnWindowExit, armPromiseDragOnWindowExit>(),
      method<kDisarmPromiseDrag, disarmPromiseDrag>(),
      method<kUpdatePromiseWriteProgress, updatePromiseWriteProgress>(),
  };
  for (const auto& descriptor : single) {
    napi_define_properties(env, exports, 1, &descriptor);
  }
  const napi_property_descriptor together[] = {
      method<kStartPromiseDrag, startPromiseDrag>(),
      method<kCompletePromiseWrite, completePromiseWrite>(),
      method<kInstallNavigationEventMonitor, installNavigationEventMonitor>(),
  };
  napi_define_properties(env, exports, 3, together);
  return exports;
}

}  // namespace kestrovan
