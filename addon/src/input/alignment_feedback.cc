// performAlignmentFeedback: plays the haptic alignment feedback.

#include "bridge/arguments.h"
#include "bridge/exports.h"

namespace kestrovan {

napi_value performAlignmentFeedback(napi_env env, napi_callback_info info) {
  return booleanResult(env, false);
}

}  // namespace kestrovan
