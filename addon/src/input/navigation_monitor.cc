// installNavigationEventMonitor: mouse buttons 3 and 4 and horizontal swipes
// reach JavaScript as "back" and "forward".
//
// One callback at a time, a stored callback (a reference of count 1 with the
// environment of the call that passed it); each successful call releases the
// previous one. One local monitor, installed by the first call that gets a
// token, until the environment of the installed callback ends. Nothing here is
// ever destroyed by a static destructor: the state lives in heap cells that
// are never freed, so nothing touches Node-API or AppKit at exit.

#include "bridge/arguments.h"
#include "bridge/environment_teardown.h"
#include "bridge/exports.h"
#include "bridge/stored_callback.h"
#include "port/application.h"
#include "port/event.h"
#include "port/platform_exception.h"

#include <memory>
#include <utility>

namespace kestrovan {

namespace {

// Shared so that a call in progress holds the callback it called.
std::shared_ptr<StoredCallback>& navigationCallback() {
  static auto* callback = new std::shared_ptr<StoredCallback>();
  return *callback;
}

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
// installed one is held for the call and the state is not read again
// afterwards.
bool callNavigationCallback(const char* direction) {
  std::shared_ptr<StoredCallback> callback = navigationCallback();
  if (!callback) return false;
  napi_env env = callback->env();

  napi_handle_scope scope;
  if (napi_open_handle_scope(env, &scope) != napi_ok) return false;
  bool consumed = false;
  napi_value argument = nullptr;
  if (napi_create_string_utf8(env, direction, NAPI_AUTO_LENGTH, &argument) == napi_ok) {
    napi_value result = nullptr;
    if (callback->call(1, &argument, &result) == napi_ok) {
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

  // From here the earlier callback is gone, whatever happens next: if the new
  // reference cannot be made, no callback is registered.
  navigationCallback().reset();
  navigationCallback() = StoredCallback::create(env, callback, "KestrovanNavigationEvent");
  if (!navigationCallback()) return booleanResult(env, false);

  port::MonitorTokenPtr& monitor = navigationEventMonitor();
  if (!monitor) monitor = port::addLocalMonitor(kNavigationEventMask, handleNavigationEvent);
  if (port::platformExceptionPending()) {
    // AppKit raised: the callback is not kept (the export table logs it).
    navigationCallback().reset();
    return booleanResult(env, false);
  }
  return booleanResult(env, monitor != nullptr);
}

void endNavigationMonitor(napi_env env) {
  std::shared_ptr<StoredCallback>& callback = navigationCallback();
  if (!callback || callback->env() != env) return;
  callback->release();
  callback.reset();
  if (port::MonitorTokenPtr token = std::exchange(navigationEventMonitor(), nullptr)) {
    port::removeMonitor(token);
  }
}

}  // namespace kestrovan
