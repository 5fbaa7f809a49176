// installNavigationEventMonitor: mouse buttons 3 and 4 and horizontal swipes
// reach JavaScript as "back" and "forward".

#include "bridge/arguments.h"
#include "bridge/exports.h"

namespace kestrovan {

napi_value installNavigationEventMonitor(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 1);
  if (!arguments.fetched || arguments.count != 1) return booleanResult(env, false);
  return booleanResult(env, false);
}

}  // namespace kestrovan
