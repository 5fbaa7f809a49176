// armPromiseDragOnWindowExit / disarmPromiseDrag: the one-shot trigger that calls
// JavaScript when the cursor leaves the window with the left button held.

#include "bridge/arguments.h"
#include "bridge/exports.h"

namespace kestrovan {

napi_value armPromiseDragOnWindowExit(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) return booleanResult(env, false);
  return booleanResult(env, false);
}

napi_value disarmPromiseDrag(napi_env env, napi_callback_info info) {
  return booleanResult(env, true);
}

}  // namespace kestrovan
