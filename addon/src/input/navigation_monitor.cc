// installNavigationEventMonitor: mouse buttons 3 and 4 and horizontal swipes
// reach JavaScript as "back" and "forward".
//
// One callback at a time, held as a reference of count 1 with the environment
// of the call that passed it; each successful call releases the previous one.
// One local monitor for the life of the process, installed by the first call
// that gets a token. Nothing here is ever destroyed: the state is plain
// pointers, and the token lives in a heap cell that is never freed, so no
// static destructor touches Node-API or AppKit at exit.

#include "bridge/arguments.h"
#include "bridge/exports.h"
#include "bridge/js_call.h"
#include "port/application.h"
#include "port/event.h"

namespace kestrovan {

namespace {

napi_env navigationCallbackEnv = nullptr;
napi_ref navigationCallbackRef = nullptr;

port::MonitorTokenPtr& navigationEventMonitor() {
  static auto* token = new port::MonitorTokenPtr();
  return *token;
}

constexpr uint64_t kNavigationEventMask = port::eventMaskFromType(port::event_type::kSwipe) |
                                          port::eventMaskFromType(port::event_type::kOtherMouseUp);
static_assert(kNavigationEventMask == 0x84000000);

// "back", "forward", or none for an event that means no navigation.
const char* navigationDirection(const port::Event& event) {
  switch (event.type()) {
    case port::event_type::kSwipe: {
      double deltaX = event.deltaX();
      if (deltaX < 0) return "forward";
      if (deltaX > 0) return "back";
      return nullptr;  // 0 or NaN
    }
    case port::event_type::kOtherMouseUp:
      switch (event.buttonNumber()) {
        case 3:
          return "back";
        case 4:
          return "forward";
        default:
          return nullptr;
      }
    default:
      return nullptr;
  }
}

// Calls the registered callback with the direction; true when it returned the
// boolean true. The callback may install another one while it runs: the
// function value is taken out of the reference before the call and the state
// is not read again afterwards.
bool callNavigationCallback(const char* direction) {
  napi_env env = navigationCallbackEnv;
  napi_ref ref = navigationCallbackRef;
  if (env == nullptr || ref == nullptr) return false;

  napi_handle_scope scope;
  if (napi_open_handle_scope(env, &scope) != napi_ok) return false;
  bool consumed = false;
  napi_value function = nullptr;
  napi_value argument = nullptr;
  if (napi_get_reference_value(env, ref, &function) == napi_ok && function != nullptr &&
      napi_create_string_utf8(env, direction, NAPI_AUTO_LENGTH, &argument) == napi_ok) {
    napi_value result = nullptr;
    if (callJavaScript(env, function, 1, &argument, &result) == napi_ok) {
      bool value = false;
      consumed = napi_get_value_bool(env, result, &value) == napi_ok && value;
    }
  }
  napi_close_handle_scope(env, scope);
  return consumed;
}

port::EventPtr handleNavigationEvent(const port::EventPtr& event) {
  if (!event) return event;
  const char* direction = navigationDirection(*event);
  if (direction == nullptr) return event;
  return callNavigationCallback(direction) ? nullptr : event;
}

}  // namespace

napi_value installNavigationEventMonitor(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 1);
  if (!arguments.fetched || arguments.count != 1) return booleanResult(env, false);
  napi_value callback = arguments.values[0];
  if (!isFunction(env, callback)) return booleanResult(env, false);

  if (navigationCallbackRef != nullptr && navigationCallbackEnv != nullptr) {
    napi_delete_reference(navigationCallbackEnv, navigationCallbackRef);
  }
  // From here the earlier callback is gone, whatever happens next: if the new
  // reference cannot be made, no callback is registered.
  navigationCallbackEnv = nullptr;
  navigationCallbackRef = nullptr;
  napi_ref ref = nullptr;
  if (napi_create_reference(env, callback, 1, &ref) != napi_ok || ref == nullptr) {
    return booleanResult(env, false);
  }
  navigationCallbackEnv = env;
  navigationCallbackRef = ref;

  port::MonitorTokenPtr& monitor = navigationEventMonitor();
  if (!monitor) monitor = port::addLocalMonitor(kNavigationEventMask, handleNavigationEvent);
  return booleanResult(env, monitor != nullptr);
}

}  // namespace kestrovan
