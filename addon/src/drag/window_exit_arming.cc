#include "drag/window_exit_arming.h"

#include <utility>

#include "port/application.h"
#include "port/geometry.h"
#include "port/platform_exception.h"
#include "port/window.h"

namespace kestrovan {

namespace {

// Left mouse up (1 << 2) and left mouse dragged (1 << 6).
constexpr uint64_t kWindowExitMonitorMask =
    port::eventMaskFromType(port::event_type::kLeftMouseUp) |
    port::eventMaskFromType(port::event_type::kLeftMouseDragged);
static_assert(kWindowExitMonitorMask == 0x44);

// The monitor exists only while a call is armed, except when AppKit gave no
// token: then the call stays armed without one until the next arming or disarm.
struct WindowExitState {
  WindowExitCallPtr windowExitCallback;
  WindowExitOwner windowExitOwner = nullptr;
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
  // Taken out first: the call may arm again, and disarming below must not
  // destroy this one. It is destroyed when this firing ends.
  WindowExitCallPtr call = std::move(windowExit.windowExitCallback);
  if (!call) return;
  disarmWindowExit();

  windowExit.windowExitEvent = event;
  call->run();
  state().windowExitEvent = nullptr;
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

port::WindowPtr windowToArm(const port::Application& application,
                            std::optional<int64_t> windowNumber) {
  port::WindowPtr window;
  if (windowNumber) window = application.windowWithWindowNumber(*windowNumber);
  if (!window) window = application.keyWindow();
  if (!window) window = application.mainWindow();
  return window;
}

}  // namespace

bool armWindowExit(std::optional<int64_t> windowNumber, WindowExitOwner owner,
                   const std::function<WindowExitCallPtr()>& makeCall) {
  // From here on any earlier arming is gone, whatever this call answers.
  disarmWindowExit();

  port::Application* application = port::sharedApplication();
  if (application == nullptr) return false;
  port::WindowPtr window = windowToArm(*application, windowNumber);
  if (!window) return false;
  if (!window->contentView()) return false;
  if ((port::pressedMouseButtons() & 1) == 0) return false;

  WindowExitCallPtr call = makeCall();
  if (!call) return false;
  WindowExitState& windowExit = state();
  windowExit.windowExitCallback = std::move(call);
  windowExit.windowExitOwner = owner;

  port::Point cursor = window->convertPointFromScreen(port::mouseLocation());
  if (insideContentView(*window, cursor)) {
    windowExit.windowExitMonitor =
        port::addLocalMonitor(kWindowExitMonitorMask, windowExitHandler(window->windowNumber()));
    if (port::platformExceptionPending()) {
      // AppKit raised: nothing stays armed (the caller reports the exception).
      disarmWindowExit();
      return false;
    }
  } else {
    // Already outside: the call runs before this returns.
    fireWindowExit(nullptr);
  }
  return true;
}

void disarmWindowExit() {
  WindowExitState& windowExit = state();
  if (windowExit.windowExitMonitor) {
    port::MonitorTokenPtr token = std::exchange(windowExit.windowExitMonitor, nullptr);
    port::removeMonitor(token);
  }
  // Taken out before it is destroyed: nothing is left to destroy twice.
  windowExit.windowExitOwner = nullptr;
  WindowExitCallPtr released = std::move(windowExit.windowExitCallback);
}

void disarmWindowExitOf(WindowExitOwner owner) {
  const WindowExitState& windowExit = state();
  if (windowExit.windowExitCallback && windowExit.windowExitOwner == owner) disarmWindowExit();
}

port::EventPtr windowExitEvent() { return state().windowExitEvent; }

}  // namespace kestrovan
