// installDragRegionScrollForwarding: scroll-wheel events over a window's drag
// regions reach the web view underneath.
//
// Over a drag region the window's own hit-testing finds no view, or only the
// content view or the frame view above it, so the page would never scroll.
// The monitor catches those events and sends them straight to the frontmost
// visible web view under the cursor; events that hit-testing already delivers
// to a real view are left alone. Installed once, and removed only when the
// environment that installed it ends; the token lives in a heap cell that is
// never freed.

#include <string_view>
#include <utility>
#include <vector>

#include "bridge/arguments.h"
#include "bridge/environment_teardown.h"
#include "bridge/exports.h"
#include "port/application.h"
#include "port/event.h"
#include "port/object.h"
#include "port/view.h"
#include "port/window.h"

namespace kestrovan {

namespace {

// The class of the host's web content view, compared exactly.
constexpr std::string_view kWebViewClassName = "RenderWidgetHostViewCocoa";

constexpr uint64_t kScrollWheelMask = port::eventMaskFromType(port::event_type::kScrollWheel);
static_assert(kScrollWheelMask == 0x400000);

port::MonitorTokenPtr& dragRegionScrollMonitor() {
  static auto* token = new port::MonitorTokenPtr();
  return *token;
}

// The environment whose call installed the monitor.
napi_env dragRegionScrollEnv = nullptr;

// The frontmost visible web view under `windowPoint` in the subtree of `view`:
// depth first, front to back, so a web view nested in another wins over it.
// A hidden view hides its whole subtree.
port::ViewPtr topmostWebView(const port::ViewPtr& view, port::Point windowPoint) {
  if (!view || view->isHidden()) return nullptr;
  if (!port::rectContainsPoint(view->bounds(), view->convertPointFromWindow(windowPoint))) {
    return nullptr;
  }
  std::vector<port::ViewPtr> subviews = view->subviews();  // back to front
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    if (port::ViewPtr found = topmostWebView(*it, windowPoint)) return found;
  }
  return view->className() == kWebViewClassName ? view : nullptr;
}

port::EventPtr handleScrollWheel(const port::EventPtr& event) {
  if (!event) return event;
  port::WindowPtr window = event->window();
  if (!window) return event;
  port::ViewPtr contentView = window->contentView();
  if (!contentView) return event;
  port::ViewPtr frameView = contentView->superview();
  if (!frameView) frameView = contentView;

  port::Point windowPoint = event->locationInWindow();
  port::Point hitPoint = windowPoint;
  if (port::ViewPtr outer = frameView->superview()) {
    hitPoint = outer->convertPointFromWindow(windowPoint);
  }
  port::ViewPtr hit = frameView->hitTest(hitPoint);
  if (hit && !port::sameObject(hit, frameView) && !port::sameObject(hit, contentView)) {
    return event;  // normal dispatch reaches a real view
  }

  port::ViewPtr webView = topmostWebView(contentView, windowPoint);
  if (!webView) return event;
  webView->scrollWheel(event);
  return nullptr;
}

}  // namespace

napi_value installDragRegionScrollForwarding(napi_env env, napi_callback_info /*info*/) {
  port::MonitorTokenPtr& monitor = dragRegionScrollMonitor();
  if (!monitor) {
    monitor = port::addLocalMonitor(kScrollWheelMask, handleScrollWheel);
    if (monitor) dragRegionScrollEnv = env;
  }
  return booleanResult(env, monitor != nullptr);
}

void endScrollForwarding(napi_env env) {
  if (dragRegionScrollEnv != env) return;
  dragRegionScrollEnv = nullptr;
  if (port::MonitorTokenPtr token = std::exchange(dragRegionScrollMonitor(), nullptr)) {
    port::removeMonitor(token);
  }
}

}  // namespace kestrovan
