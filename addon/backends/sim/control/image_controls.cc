// Control functions for the image side of the simulated desktop.

#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"

namespace kestrovan::sim::control {

void registerImageControls(napi_env env, napi_value exports) {}

}  // namespace kestrovan::sim::control
