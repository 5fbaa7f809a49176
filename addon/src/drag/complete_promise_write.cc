// completePromiseWrite: JavaScript ends one open promised write.

#include <optional>
#include <string>
#include <string_view>

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/native_log.h"
#include "bridge/value_helpers.h"
#include "drag/active_sessions.h"
#include "drag/open_writes.h"

namespace kestrovan {

napi_value completePromiseWrite(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 1) {
    nativeLogLine("completePromiseWrite rejected: invalid arguments argc=", arguments.count);
    return booleanResult(env, false);
  }
  StringBuffer buffer;
  std::optional<std::string_view> token = readString(env, arguments.values[0], buffer);
  if (!token || token->empty()) {
    nativeLogLine("completePromiseWrite rejected: missing token");
    return booleanResult(env, false);
  }
  // Anything but a string (null, a number) gives no message: a success.
  std::optional<std::string> errorMessage;
  if (arguments.count >= 2) errorMessage = stringFromNapi(env, arguments.values[1]);
  nativeLogLine("completePromiseWrite called token=", *token, " errorMessage=", errorMessage);

  if (!completeOpenWrite(*token, errorMessage)) {
    nativeLogLine("completePromiseWrite did not find token token=", *token,
                  " activeSessions=", activeSessions().size());
    return booleanResult(env, false);
  }
  return booleanResult(env, true);
}

}  // namespace kestrovan
