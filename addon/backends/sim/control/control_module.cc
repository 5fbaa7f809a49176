// kestrovan-desktop-sim: drives the simulated desktop from JavaScript.

#include <node_api.h>

#include "control/controls.h"

namespace {

napi_value init(napi_env env, napi_value exports) {
  using namespace kestrovan::sim::control;
  registerDesktopControls(env, exports);
  registerImageControls(env, exports);
  registerDragControls(env, exports);
  registerDropControls(env, exports);
  registerFileDropControls(env, exports);
  registerInputControls(env, exports);
  registerLiveMainQueueControls(env, exports);
  registerProgressControls(env, exports);
  return exports;
}

}  // namespace

NAPI_MODULE(NODE_GYP_MODULE_NAME, init)
