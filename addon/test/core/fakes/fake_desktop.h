// A recording stand-in for the application, its windows, their content views
// and the events AppKit delivers (port/application.h, port/window.h,
// port/view.h, port/event.h), for tests of the core that run without a
// desktop.
//
// Geometry is plain: a window's frame origin on screen is where its window
// coordinates start, and its content view covers the window from (0, 0), so
// screen, window and view coordinates differ only by that origin. Local
// monitors are recorded with their handlers, and a test delivers events
// through them as AppKit would: in the order they were added, only to those
// whose mask holds the event's type, each handler kept alive while it runs
// even when it removes its own monitor, and the event passed on (or dropped)
// from one to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "port/application.h"
#include "port/event.h"
#include "port/geometry.h"
#include "port/platform_exception.h"
#include "port/view.h"
#include "port/window.h"

namespace kestrovan::fake {

class FakeView final : public port::View {
 public:
  // A view with `bounds` whose window coordinates start at `originInWindow`.
  FakeView(port::Rect bounds, port::Point originInWindow)
      : bounds_(bounds), originInWindow_(originInWindow) {}

  const void* identity() const override { return this; }
  port::ViewPtr superview() const override { return nullptr; }
  std::vector<port::ViewPtr> subviews() const override { return {}; }
  bool isHidden() const override { return false; }
  port::Rect bounds() const override { return bounds_; }
  port::Point convertPointFromWindow(port::Point windowPoint) const override;
  port::ViewPtr hitTest(port::Point /*pointInSuperview*/) const override { return nullptr; }
  std::string className() const override { return "FakeView"; }
  void scrollWheel(const port::EventPtr& /*event*/) override {}

 private:
  port::Rect bounds_;
  port::Point originInWindow_;
};

class FakeWindow final : public port::Window {
 public:
  FakeWindow(int64_t windowNumber, port::Point originOnScreen, port::ViewPtr contentView)
      : windowNumber_(windowNumber),
        originOnScreen_(originOnScreen),
        contentView_(std::move(contentView)) {}

  const void* identity() const override { return this; }
  int64_t windowNumber() const override { return windowNumber_; }
  port::ViewPtr contentView() const override { return contentView_; }
  port::Point convertPointFromScreen(port::Point screenPoint) const override;

  void setContentView(port::ViewPtr contentView) { contentView_ = std::move(contentView); }

 private:
  int64_t windowNumber_;
  port::Point originOnScreen_;
  port::ViewPtr contentView_;
};

using FakeWindowPtr = std::shared_ptr<FakeWindow>;

class FakeEvent final : public port::Event {
 public:
  FakeEvent(uint64_t type, port::WindowPtr window, port::Point locationInWindow)
      : type_(type), window_(std::move(window)), location_(locationInWindow) {}

  const void* identity() const override { return this; }
  uint64_t type() const override { return type_; }
  std::shared_ptr<port::Window> window() const override { return window_; }
  port::Point locationInWindow() const override { return location_; }
  uint64_t modifierFlags() const override { return 0; }
  double deltaX() const override { return 0; }
  int64_t buttonNumber() const override { return 0; }

 private:
  uint64_t type_;
  port::WindowPtr window_;
  port::Point location_;
};

// An event of `type` for `window` (none for a window-less event) at
// `locationInWindow`.
port::EventPtr makeEvent(uint64_t type, port::WindowPtr window, port::Point locationInWindow);

// One local monitor as it was added, and how often removeMonitor: was called
// with its token.
struct RecordedMonitor {
  uint64_t mask = 0;
  port::MonitorTokenPtr token;  // none when the platform gave none
  int removals = 0;
};

// Back to an application with no windows, no monitors, the cursor at (0, 0),
// no button held and no current event.
void resetDesktop();

// Whether the shared application exists (it does after a reset).
void setApplicationPresent(bool present);

// Adds a window numbered `windowNumber` whose content view fills `frameOnScreen`
// (its bounds: (0, 0) and the frame's size).
FakeWindowPtr addWindow(int64_t windowNumber, port::Rect frameOnScreen);
void setKeyWindow(port::WindowPtr window);
void setMainWindow(port::WindowPtr window);
void setCurrentEvent(port::EventPtr event);

// The cursor in screen coordinates, and the buttons held (bit 0: left).
void setMouseLocation(port::Point screenPoint);
void setPressedMouseButtons(uint64_t buttons);

// The next addLocalMonitor raises `exception` (kept as a port call keeps it)
// and answers no token, or, with `tokenAnyway`, a token of a monitor that is
// installed nonetheless.
void raiseOnNextAddMonitor(port::PlatformException exception, bool tokenAnyway = false);

// The next addLocalMonitor answers no token, without raising.
void giveNoTokenOnNextAddMonitor();

// Every monitor ever added since the reset, in order.
const std::vector<RecordedMonitor>& monitors();
// The monitors added and not removed.
size_t installedMonitorCount();
// removeMonitor: calls with a token that was not installed (none, unknown or
// already removed).
int strayMonitorRemovals();

// Delivers `event` through the installed monitors whose mask holds its type;
// answers what came out of the last one (the event itself when none watches
// it), none when a handler dropped it.
port::EventPtr deliver(const port::EventPtr& event);

}  // namespace kestrovan::fake
