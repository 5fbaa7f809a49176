// updatePromiseWriteProgress: JavaScript reports how far an open write has got.
// It writes no log line: it may be called for every chunk written.

#include <optional>
#include <string_view>

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/value_helpers.h"
#include "drag/open_writes.h"

namespace kestrovan {

napi_value updatePromiseWriteProgress(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) return booleanResult(env, false);
  StringBuffer buffer;
  std::optional<std::string_view> token = readString(env, arguments.values[0], buffer);
  if (!token || token->empty()) return booleanResult(env, false);
  double fraction = 0;
  if (napi_get_value_double(env, arguments.values[1], &fraction) != napi_ok) {
    return booleanResult(env, false);
  }
  return booleanResult(env, updateOpenWriteProgress(*token, fraction));
}

}  // namespace kestrovan
