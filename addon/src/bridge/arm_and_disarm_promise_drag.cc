// armPromiseDragOnWindowExit and disarmPromiseDrag: the exports of the
// window-exit trigger (drag/window_exit_arming.h), which calls JavaScript when
// the cursor leaves the window with the left button held.
//
// The armed call holds a stored callback (a reference of count 1 with the
// environment that armed it) and the trigger holds the call, so every arming's
// reference is deleted exactly once: when the trigger destroys the call, after
// its one run or when the arming ends without firing.

#include <node_api.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "bridge/arguments.h"
#include "bridge/environment_teardown.h"
#include "bridge/exports.h"
#include "bridge/stored_callback.h"
#include "drag/window_exit_arming.h"

namespace kestrovan {

namespace {

// Calls the armed JavaScript function with no arguments, in a handle scope of
// its own. A failing scope calls nothing.
class JavaScriptWindowExitCall final : public WindowExitCall {
 public:
  explicit JavaScriptWindowExitCall(StoredCallbackPtr callback) : callback_(std::move(callback)) {}

  void run() override {
    napi_env env = callback_->env();
    napi_handle_scope scope = nullptr;
    if (napi_open_handle_scope(env, &scope) != napi_ok) return;
    // Outside every export (the monitor) a throw becomes an uncaught exception
    // of the process; inside arming it stays pending for arming's caller.
    callback_->call(0, nullptr, nullptr);
    napi_close_handle_scope(env, scope);
  }

 private:
  StoredCallbackPtr callback_;
};

WindowExitOwner ownerOf(napi_env env) { return static_cast<const void*>(env); }

}  // namespace

void endWindowExitArming(napi_env env) { disarmWindowExitOf(ownerOf(env)); }

napi_value armPromiseDragOnWindowExit(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) return booleanResult(env, false);
  if (!isFunction(env, arguments.values[1])) return booleanResult(env, false);

  // A first argument that is no number resolves no window.
  std::optional<int64_t> windowNumber;
  int64_t number = 0;
  if (napi_get_value_int64(env, arguments.values[0], &number) == napi_ok) windowNumber = number;

  napi_value function = arguments.values[1];
  const bool armed = armWindowExit(windowNumber, ownerOf(env), [env, function]() {
    StoredCallbackPtr callback = StoredCallback::create(env, function, "KestrovanWindowExit");
    if (!callback) return WindowExitCallPtr();
    return WindowExitCallPtr(std::make_unique<JavaScriptWindowExitCall>(std::move(callback)));
  });
  return booleanResult(env, armed);
}

napi_value disarmPromiseDrag(napi_env env, napi_callback_info /*info*/) {
  disarmWindowExit();
  return booleanResult(env, true);
}

}  // namespace kestrovan
