// completePromiseWrite: JavaScript ends one open promised write.

#include <memory>
#include <optional>
#include <string>

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/native_log.h"
#include "bridge/value_helpers.h"
#include "drag/active_sessions.h"
#include "drag/drag_session.h"

namespace kestrovan {

napi_value completePromiseWrite(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 1) {
    nativeLogLine("completePromiseWrite rejected: invalid arguments argc=", arguments.count);
    return booleanResult(env, false);
  }
  std::optional<std::string> token = stringFromNapi(env, arguments.values[0]);
  if (!token || token->empty()) {
    nativeLogLine("completePromiseWrite rejected: missing token");
    return booleanResult(env, false);
  }
  // Anything but a string (null, a number) gives no message: a success.
  std::optional<std::string> errorMessage;
  if (arguments.count >= 2) errorMessage = stringFromNapi(env, arguments.values[1]);
  nativeLogLine("completePromiseWrite called token=", *token, " errorMessage=", errorMessage);

  // Found first, then called: completing calls out (to the drop target's
  // handler), and the search is over by then.
  std::shared_ptr<FilePromiseDragSession> holder = sessionHoldingToken(*token);
  if (!holder) {
    nativeLogLine("completePromiseWrite did not find token token=", *token,
                  " activeSessions=", activeSessions().size());
    return booleanResult(env, false);
  }
  holder->completeToken(*token, errorMessage);
  return booleanResult(env, true);
}

}  // namespace kestrovan
