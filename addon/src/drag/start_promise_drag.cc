// startPromiseDrag: validates a drag request and begins a drag of promised files.

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/native_log.h"

namespace kestrovan {

napi_value startPromiseDrag(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) {
    nativeLogLine("startPromiseDrag rejected: invalid arguments argc=", arguments.count);
    return booleanResult(env, false);
  }
  return booleanResult(env, false);
}

}  // namespace kestrovan
