// The simulated desktop: an honest in-memory stand-in for the parts of AppKit
// the addon relies on, so the addon can run and be tested on Linux.
//
// It models the application (key and main window, active flag, current event,
// pressed mouse buttons, mouse location in screen space with y up, uptime),
// windows with a frame view and a content view, view trees with hit-testing and
// coordinate conversion, events, local event monitors with AppKit's contract,
// and the main queue on a virtual clock. Where AppKit would refuse a request
// (an event for a window that does not exist, a drag begun from a non-mouse
// event) the simulator records a violation and says so on standard error, so
// code that would fail on a Mac fails here too.
//
// Everything runs on the thread that drives it; nothing is locked but the log,
// which any thread may write, as NSLog. The application's main thread is the
// process's initial thread unless a test names another (setMainThread). The
// desktop lives for the process and is never destroyed.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "port/application.h"
#include "port/event.h"
#include "port/platform_exception.h"
#include "port/view.h"
#include "port/window.h"

namespace kestrovan::sim {

class SimWindow;

// What hit-testing yields inside a view's drag regions: none at all, the
// window's content view, or the view itself. Hosts' drag regions do the first two.
enum class DragRegionHit { kNone, kContentView, kSelf };

// A view to build, with its subviews: what a test describes, before the
// desktop makes it a SimView.
struct ViewDescription {
  std::string id;  // empty: the desktop names it
  std::string className = "NSView";
  port::Rect frame;  // in the superview's coordinates
  std::optional<port::Point> boundsOrigin;
  bool hidden = false;
  std::vector<port::Rect> dragRegions;  // in the view's own coordinates
  DragRegionHit dragRegionHit = DragRegionHit::kNone;
  std::vector<ViewDescription> children;  // back to front
};

// How an event reached a view: "dispatch" (normal delivery to the hit view) or
// "scrollWheel:" (sent to the view directly).
struct EventDelivery {
  uint64_t eventSerial;
  uint64_t eventType;
  std::string via;
};

class SimView final : public port::View, public std::enable_shared_from_this<SimView> {
 public:
  const void* identity() const override { return this; }
  port::ViewPtr superview() const override { return parent.lock(); }
  std::vector<port::ViewPtr> subviews() const override;
  bool isHidden() const override { return hidden; }
  port::Rect bounds() const override;
  port::Point convertPointFromWindow(port::Point windowPoint) const override;
  port::ViewPtr hitTest(port::Point pointInSuperview) const override;
  std::string className() const override { return cls; }
  void scrollWheel(const port::EventPtr& event) override;

  std::string id;
  std::string cls;
  port::Rect frame;
  port::Point boundsOrigin;
  bool hidden = false;
  std::vector<port::Rect> dragRegions;
  DragRegionHit dragRegionHit = DragRegionHit::kNone;
  std::vector<std::shared_ptr<SimView>> children;
  std::weak_ptr<SimView> parent;
  std::weak_ptr<SimWindow> window;
  std::vector<EventDelivery> deliveries;
};

class SimWindow final : public port::Window, public std::enable_shared_from_this<SimWindow> {
 public:
  const void* identity() const override { return this; }
  int64_t windowNumber() const override { return number; }
  port::ViewPtr contentView() const override { return content; }
  port::Point convertPointFromScreen(port::Point screenPoint) const override {
    return {screenPoint.x - frame.x, screenPoint.y - frame.y};
  }

  int64_t number = 0;
  port::Rect frame;  // in screen coordinates
  std::shared_ptr<SimView> frameView;
  std::shared_ptr<SimView> content;  // a subview of the frame view, or none
};

class SimEvent final : public port::Event {
 public:
  const void* identity() const override { return this; }
  uint64_t type() const override { return eventType; }
  port::WindowPtr window() const override { return eventWindow.lock(); }
  port::Point locationInWindow() const override { return location; }
  uint64_t modifierFlags() const override { return flags; }
  double deltaX() const override { return dx; }
  int64_t buttonNumber() const override { return button; }

  uint64_t serial = 0;
  uint64_t eventType = 0;
  std::weak_ptr<SimWindow> eventWindow;
  int64_t windowNumber = 0;  // as created; 0 for none
  port::Point location;
  uint64_t flags = 0;
  double dx = 0;
  int64_t button = 0;
  double timestamp = 0;
  int64_t eventNumber = 0;
  int64_t clickCount = 0;
  float pressure = 0;
  bool madeByApplication = false;  // built with mouseEventWithType:..., not by the user
};

// An event to make, before the desktop numbers and dates it.
struct EventDescription {
  uint64_t type = 0;
  int64_t windowNumber = 0;  // 0: no window
  port::Point location;      // in window coordinates (screen coordinates without a window)
  uint64_t modifierFlags = 0;
  double deltaX = 0;
  int64_t buttonNumber = 0;
};

struct DispatchResult {
  uint64_t eventSerial = 0;
  bool takenByDrag = false;  // a running drag took it: no monitor or view saw it
  bool dropped = false;      // a monitor returned none
  std::string deliveredTo;   // id of the view normal dispatch reached, or empty
};

struct MonitorInfo {
  uint64_t id;
  uint64_t mask;
};

class Desktop {
 public:
  // (Inline: every export asks it something.)
  static Desktop& instance() {
    Desktop* desktop = instance_.load(std::memory_order_acquire);
    return desktop != nullptr ? *desktop : made();
  }

  // Forgets windows, views, events, pressed buttons, the mouse position, the
  // current event, the log and violations. Monitors, the main queue and the
  // clock belong to the code under test and stay.
  void reset();

  // Application.
  bool applicationPresent = true;
  bool active = true;
  std::shared_ptr<SimWindow> keyWindow;
  std::shared_ptr<SimWindow> mainWindow;
  std::shared_ptr<SimEvent> currentEvent;
  uint64_t pressedButtons = 0;
  port::Point mouse;
  bool refuseMouseEventCreation = false;
  // beginDraggingSessionWithItems:event:source: answers nil, raising nothing,
  // while set.
  bool refuseDraggingSession = false;
  // addLocalMonitorForEventsMatchingMask:handler: gives no token while set.
  bool refuseMonitorCreation = false;

  // AppKit calls (named by selector) that raise an Objective-C exception
  // while named here, as AppKit raises on input it does not accept; the port
  // call catches it as the macOS backend does (port/platform_exception.h).
  std::set<std::string, std::less<>> raisingCalls;
  // True when `selector` is to raise now: the exception is then kept for the
  // core, and the caller answers its failure value.
  bool raises(std::string_view selector);
  // The exception the port keeps for the core (one thread drives the desktop).
  std::optional<port::PlatformException> keptException;

  // Windows and views.
  std::shared_ptr<SimWindow> createWindow(std::optional<int64_t> number, port::Rect frame,
                                          const std::optional<ViewDescription>& content);
  void closeWindow(int64_t number);
  void setContentView(int64_t number, const std::optional<ViewDescription>& content);
  std::shared_ptr<SimWindow> window(int64_t number) const;
  std::shared_ptr<SimView> view(const std::string& id) const;
  const std::vector<std::shared_ptr<SimWindow>>& windows() const { return windows_; }

  // Events.
  std::shared_ptr<SimEvent> makeEvent(const EventDescription& description);
  // Takes an event from the queue and delivers it as the application would:
  // through the local monitors in turn (a monitor returning none drops it),
  // then to the hit view of its window. It becomes the application's current
  // event and stays so after dispatch, until the next event is taken. While a
  // drag runs, its left-mouse-dragged and left-mouse-up events go to the
  // dragging session instead, not through the application: no local monitor
  // and no view sees them (the drag itself ends only when told: endDrag, a drop).
  DispatchResult dispatch(std::shared_ptr<SimEvent> event);

  // Local monitors.
  port::MonitorTokenPtr addMonitor(uint64_t mask, port::LocalMonitorHandler handler);
  void removeMonitor(const port::MonitorTokenPtr& token);
  std::vector<MonitorInfo> monitors() const;

  // Main queue on the virtual clock.
  void post(double delaySeconds, std::function<void()> block);
  // Called by post() for a block due now while set: live mode, in which the
  // main queue runs by itself from the host's event loop (runLiveTurn), as
  // AppKit's run loop runs it, outside every JavaScript call.
  std::function<void()> wakeMainQueue;
  // One turn of the live main queue: the blocks due now, as runDue().
  int runLiveTurn();
  // The number of the live turn running now (from 1); 0 outside every turn.
  uint64_t liveTurn() const { return liveTurnRunning_ ? liveTurns_ : 0; }
  // Runs the blocks that are due now, including those they post for now.
  int runDue();
  // Moves the clock forward, running each block when its time comes.
  int advance(double seconds);
  double now() const { return clock_; }
  double uptime() const { return 1000.0 + clock_; }
  std::vector<double> pendingDueTimes() const;

  // The thread NSThread isMainThread answers true on: the process's initial
  // thread, or the one that last called setMainThreadToCurrent().
  bool onMainThread() const;
  void setMainThreadToCurrent();

  // Diagnostic log; any thread may write it.
  void writeLog(std::string_view tag, std::string_view message);
  std::vector<std::string> log() const;
  void clearLog();
  std::atomic<bool> echoLogToStderr = true;

  // What AppKit would have refused.
  void violation(const std::string& what);
  const std::vector<std::string>& violations() const { return violations_; }
  void clearViolations() { violations_.clear(); }

  void registerView(const std::shared_ptr<SimView>& view);

 private:
  Desktop() = default;
  std::shared_ptr<SimView> buildView(const ViewDescription& description,
                                     const std::shared_ptr<SimWindow>& window);

  std::vector<std::shared_ptr<SimWindow>> windows_;
  std::map<std::string, std::weak_ptr<SimView>> viewsById_;
  int64_t nextWindowNumber_ = 101;
  uint64_t nextViewId_ = 1;
  uint64_t nextEventSerial_ = 1;

  struct Monitor;
  std::vector<std::shared_ptr<Monitor>> monitors_;
  uint64_t nextMonitorId_ = 1;

  struct Block {
    double due;
    uint64_t sequence;
    std::function<void()> run;
  };
  std::vector<Block> queue_;
  uint64_t nextBlockSequence_ = 0;
  double clock_ = 0;
  bool takeNextDue(double limit, Block& out);
  uint64_t liveTurns_ = 0;
  bool liveTurnRunning_ = false;

  mutable std::mutex logMutex_;
  // The lines one after another, and where each ends: writing a line costs
  // no allocation of its own.
  std::string logText_;
  std::vector<size_t> logEnds_;
  std::vector<std::string> violations_;
  // The thread setMainThreadToCurrent() named; until then, the process's
  // initial thread.
  static Desktop& made();
  static std::atomic<Desktop*> instance_;

  std::atomic<bool> mainThreadNamed_ = false;
  std::atomic<pthread_t> mainThread_{};
  std::atomic<bool> namedMainThreadEnded_ = false;
};

}  // namespace kestrovan::sim
