// updatePromiseWriteProgress: JavaScript reports how far an open write has got.

#include "bridge/arguments.h"
#include "bridge/exports.h"

namespace kestrovan {

napi_value updatePromiseWriteProgress(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) return booleanResult(env, false);
  return booleanResult(env, false);
}

}  // namespace kestrovan
