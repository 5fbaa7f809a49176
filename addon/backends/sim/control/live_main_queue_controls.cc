// Control functions for the live main queue: in live mode the desktop's main
// queue runs by itself from the host's event loop, through a libuv handle, as
// AppKit's run loop runs the main queue: each turn is a callback of the event
// loop with no JavaScript on the stack and no callback scope of Node's around
// it. runMainQueue() still runs it step by step. A build without libuv's
// header has no live mode: setLiveMainQueue(true) throws.

#if KESTROVAN_LIVE_MAIN_QUEUE
#include <uv.h>
#endif

#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"

namespace kestrovan::sim::control {

namespace {

#if KESTROVAN_LIVE_MAIN_QUEUE

// One handle for the process, on the loop of the environment that first
// turned live mode on. Never closed: it is unreferenced whenever no block is
// due, so it never keeps the process alive by itself.
uv_async_t* liveHandle = nullptr;

void runTurn(uv_async_t* handle) {
  Desktop::instance().runLiveTurn();
  uv_unref(reinterpret_cast<uv_handle_t*>(handle));
}

void wake() {
  uv_ref(reinterpret_cast<uv_handle_t*>(liveHandle));
  uv_async_send(liveHandle);
}

// Turns live mode on or off in `env`'s event loop.
void setLive(napi_env env, bool on) {
  if (on && liveHandle == nullptr) {
    uv_loop_s* loop = nullptr;
    if (napi_get_uv_event_loop(env, &loop) != napi_ok || loop == nullptr) {
      throw ControlError{"no event loop to run the main queue from"};
    }
    liveHandle = new uv_async_t();
    uv_async_init(loop, liveHandle, runTurn);
    uv_unref(reinterpret_cast<uv_handle_t*>(liveHandle));
  }
  Desktop::instance().wakeMainQueue = on ? std::function<void()>(wake) : nullptr;
  if (on) wake();  // blocks already due run in the next turn
}

#else

void setLive(napi_env, bool on) {
  if (on) throw ControlError{"this build of the simulated desktop has no live main queue"};
}

#endif

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(setLiveMainQueue) {
  return guarded(env, [&] {
    setLive(env, toBool(env, arguments(env, info, 1)[0], "live"));
    return undefinedValue(env);
  });
}

CONTROL(liveTurn) {
  return guarded(env,
                 [&] { return number(env, static_cast<double>(Desktop::instance().liveTurn())); });
}

#undef CONTROL

}  // namespace

void registerLiveMainQueueControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "setLiveMainQueue", setLiveMainQueue);
  defineFunction(env, exports, "liveTurn", liveTurn);
}

}  // namespace kestrovan::sim::control
