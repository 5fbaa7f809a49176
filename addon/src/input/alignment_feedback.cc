// performAlignmentFeedback: plays the haptic alignment feedback, the pattern
// macOS plays when a dragged object snaps into alignment. Stateless: every call
// that passes the check makes one request; whether the hardware plays it is
// the system's business. (The export table answers false off the main thread.)

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "port/application.h"
#include "port/haptics.h"

namespace kestrovan {

napi_value performAlignmentFeedback(napi_env env, napi_callback_info /*info*/) {
  // No application object yet counts as not active.
  port::Application* application = port::sharedApplication();
  if (application == nullptr || !application->isActive()) return booleanResult(env, false);
  port::performHapticFeedback(port::haptic_pattern::kAlignment,
                              port::haptic_performance_time::kNow);
  return booleanResult(env, true);
}

}  // namespace kestrovan
