// Control functions for the input side of the simulated desktop: the haptic
// feedback requests and refusing local monitors.

#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"
#include "haptics_sim.h"

namespace kestrovan::sim::control {

namespace {

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

// hapticRequests() -> [{ pattern, performanceTime, time }], oldest first.
CONTROL(hapticRequestsControl) {
  (void)info;
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const HapticRequest& request : hapticRequests()) {
      napi_value o = object(env);
      set(env, o, "pattern", number(env, static_cast<double>(request.pattern)));
      set(env, o, "performanceTime", number(env, static_cast<double>(request.performanceTime)));
      set(env, o, "time", number(env, request.time));
      push(env, out, o);
    }
    return out;
  });
}

CONTROL(clearHapticRequests) {
  (void)info;
  return guarded(env, [&] {
    hapticRequests().clear();
    return undefinedValue(env);
  });
}

// refuseMonitorCreation(refuse): while true, adding a local monitor gives no token.
CONTROL(refuseMonitorCreation) {
  return guarded(env, [&] {
    Desktop::instance().refuseMonitorCreation = toBool(env, arguments(env, info, 1)[0], "refuse");
    return undefinedValue(env);
  });
}

#undef CONTROL

}  // namespace

void registerInputControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "hapticRequests", hapticRequestsControl);
  defineFunction(env, exports, "clearHapticRequests", clearHapticRequests);
  defineFunction(env, exports, "refuseMonitorCreation", refuseMonitorCreation);
}

}  // namespace kestrovan::sim::control
