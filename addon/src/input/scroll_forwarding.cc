// installDragRegionScrollForwarding: scroll-wheel events over a window's drag
// regions reach the web view underneath.

#include "bridge/arguments.h"
#include "bridge/exports.h"

namespace kestrovan {

napi_value installDragRegionScrollForwarding(napi_env env, napi_callback_info info) {
  return booleanResult(env, false);
}

}  // namespace kestrovan
