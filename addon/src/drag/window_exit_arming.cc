// armPromiseDragOnWindowExit / disarmPromiseDrag: the one-shot trigger that calls
// JavaScript when the cursor leaves the window with the left button held.
//
// One arming at a time, in module-level state that lives for the process. The
// armed callback is a stored callback (a reference of count 1 with the
// environment that armed it);
// a local monitor for left-mouse-up and left-mouse-dragged events watches for
// the exit while the cursor is inside. The callback is called at most once per
// arming, and every arming's reference is deleted exactly once: by disarming,
// or by the firing that took it out of the state before calling.

#include "drag/window_exit_arming.h"

#include <utility>

#include "bridge/arguments.h"
#include "bridge/environment_teardown.h"
#include "bridge/exports.h"
#include "bridge/stored_callback.h"
#include "port/application.h"
#include "port/geometry.h"
#include "port/platform_exception.h"

namespace kestrovan {

namespace {

// Left mouse up (1 << 2) and left mouse dragged (1 << 6).
constexpr uint64_t kWindowExitMonitorMask =
    port::eventMaskFromType(port::event_type::kLeftMouseUp) |
    port::eventMaskFromType(port::event_type::kLeftMouseDragged);
static_assert(kWindowExitMonitorMask == 0x44);

struct WindowExitState {
  StoredCallbackPtr windowExitCallback;
  port::MonitorTokenPtr windowExitMonitor;
  port::EventPtr windowExitEvent;
};

WindowExitState& state() {
  static auto* windowExit = new WindowExitState();
  return *windowExit;
}

// The cursor counts as inside when the point lies in the content view's
// bounds (half-open); a window without a content view has no inside.
bool insideContentView(const port::Window& window, port::Point windowPoint) {
  port::ViewPtr contentView = window.contentView();
  if (!contentView) return false;
  return port::rectContainsPoint(contentView->bounds(),
                                 contentView->convertPointFromWindow(windowPoint));
}

void fireWindowExit(const port::EventPtr& event) {
  WindowExitState& windowExit = state();
  // Taken out first: the callback may arm again, and disarming below must not
  // release this one. It is released when this call ends.
  StoredCallbackPtr callback = std::move(windowExit.windowExitCallback);
  if (!callback) return;
  disarmWindowExit();

  napi_env env = callback->env();
  napi_handle_scope scope = nullptr;
  if (napi_open_handle_scope(env, &scope) == napi_ok) {
    windowExit.windowExitEvent = event;
    // Outside every export (the monitor) a throw becomes an uncaught exception
    // of the process; inside arming it stays pending for arming's caller.
    callback->call(0, nullptr, nullptr);
    state().windowExitEvent = nullptr;
    napi_close_handle_scope(env, scope);
  }
}

port::LocalMonitorHandler windowExitHandler(int64_t armedWindowNumber) {
  return [armedWindowNumber](const port::EventPtr& event) -> port::EventPtr {
    // Everything the handler needs is copied out first: disarming removes the
    // monitor that owns this handler.
    const int64_t armedNumber = armedWindowNumber;
    port::EventPtr passing = event;
    if (!passing) return passing;
    if (passing->type() == port::event_type::kLeftMouseUp) {
      // A release anywhere in the application ends the arming.
      disarmWindowExit();
      return passing;
    }
    port::WindowPtr window = passing->window();
    if (!window || window->windowNumber() != armedNumber) return passing;
    if (!insideContentView(*window, passing->locationInWindow())) fireWindowExit(passing);
    // Never dropped, not even the event that fired the trigger.
    return passing;
  };
}

}  // namespace

port::EventPtr windowExitEvent() { return state().windowExitEvent; }

void disarmWindowExit() {
  WindowExitState& windowExit = state();
  if (windowExit.windowExitMonitor) {
    port::MonitorTokenPtr token = std::exchange(windowExit.windowExitMonitor, nullptr);
    port::removeMonitor(token);
  }
  // Taken out before it is released: nothing is left to release twice.
  StoredCallbackPtr released = std::move(windowExit.windowExitCallback);
}

void endWindowExitArming(napi_env env) {
  const StoredCallbackPtr& callback = state().windowExitCallback;
  if (callback && callback->env() == env) disarmWindowExit();
}

napi_value armPromiseDragOnWindowExit(napi_env env, napi_callback_info info) {
  Arguments arguments = fetchArguments(env, info, 2);
  if (!arguments.fetched || arguments.count < 2) return booleanResult(env, false);
  if (!isFunction(env, arguments.values[1])) return booleanResult(env, false);

  // From here on any earlier arming is gone, whatever this call answers.
  disarmWindowExit();

  port::Application* application = port::sharedApplication();
  if (application == nullptr) return booleanResult(env, false);
  port::WindowPtr window;
  int64_t windowNumber = 0;
  if (napi_get_value_int64(env, arguments.values[0], &windowNumber) == napi_ok) {
    window = application->windowWithWindowNumber(windowNumber);
  }
  if (!window) window = application->keyWindow();
  if (!window) window = application->mainWindow();
  if (!window) return booleanResult(env, false);
  if (!window->contentView()) return booleanResult(env, false);
  if ((port::pressedMouseButtons() & 1) == 0) return booleanResult(env, false);

  StoredCallbackPtr callback =
      StoredCallback::create(env, arguments.values[1], "KestrovanWindowExit");
  if (!callback) return booleanResult(env, false);
  WindowExitState& windowExit = state();
  windowExit.windowExitCallback = std::move(callback);

  port::Point cursor = window->convertPointFromScreen(port::mouseLocation());
  if (insideContentView(*window, cursor)) {
    windowExit.windowExitMonitor =
        port::addLocalMonitor(kWindowExitMonitorMask, windowExitHandler(window->windowNumber()));
    if (port::platformExceptionPending()) {
      // AppKit raised: nothing stays armed (the export table logs it).
      disarmWindowExit();
      return booleanResult(env, false);
    }
  } else {
    // Already outside: the callback runs before this call returns.
    fireWindowExit(nullptr);
  }
  return booleanResult(env, true);
}

napi_value disarmPromiseDrag(napi_env env, napi_callback_info /*info*/) {
  disarmWindowExit();
  return booleanResult(env, true);
}

}  // namespace kestrovan
