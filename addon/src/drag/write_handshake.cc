// completePromiseWrite: JavaScript ends one open promised write.

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/native_log.h"

namespace kestrovan {

napi_value completePromiseWrite(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 1) {
    nativeLogLine("completePromiseWrite rejected: invalid arguments argc=", arguments.count);
    return booleanResult(env, false);
  }
  return booleanResult(env, false);
}

}  // namespace kestrovan
