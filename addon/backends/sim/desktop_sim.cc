#include "desktop_sim.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "dragging_sim.h"
#include "file_drops_sim.h"

namespace kestrovan::sim {

using port::Point;
using port::Rect;

// ---- Views ----------------------------------------------------------------

std::vector<port::ViewPtr> SimView::subviews() const { return {children.begin(), children.end()}; }

Rect SimView::bounds() const { return {boundsOrigin.x, boundsOrigin.y, frame.width, frame.height}; }

Point SimView::convertPointFromWindow(Point windowPoint) const {
  // Walk from the root (the frame view, whose frame is in window coordinates)
  // down to this view.
  std::vector<const SimView*> chain;
  for (const SimView* v = this; v != nullptr; v = v->parent.lock().get()) chain.push_back(v);
  Point p = windowPoint;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    p = {p.x - (*it)->frame.x + (*it)->boundsOrigin.x,
         p.y - (*it)->frame.y + (*it)->boundsOrigin.y};
  }
  return p;
}

port::ViewPtr SimView::hitTest(Point pointInSuperview) const {
  if (hidden) return nullptr;
  if (!port::rectContainsPoint(frame, pointInSuperview)) return nullptr;
  Point local{pointInSuperview.x - frame.x + boundsOrigin.x,
              pointInSuperview.y - frame.y + boundsOrigin.y};
  for (const Rect& region : dragRegions) {
    if (port::rectContainsPoint(region, local)) {
      switch (dragRegionHit) {
        case DragRegionHit::kNone:
          return nullptr;
        case DragRegionHit::kContentView:
          if (auto w = window.lock()) return w->content;
          return nullptr;
        case DragRegionHit::kSelf:
          return std::const_pointer_cast<SimView>(shared_from_this());
      }
    }
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (auto hit = (*it)->hitTest(local)) return hit;
  }
  return std::const_pointer_cast<SimView>(shared_from_this());
}

void SimView::scrollWheel(const port::EventPtr& event) {
  auto* simEvent = dynamic_cast<const SimEvent*>(event.get());
  if (simEvent == nullptr) {
    Desktop::instance().violation("scrollWheel: sent with an event the application never made");
    return;
  }
  deliveries.push_back({simEvent->serial, simEvent->eventType, "scrollWheel:"});
}

// ---- Desktop ----------------------------------------------------------------

struct Desktop::Monitor : port::MonitorToken {
  uint64_t id = 0;
  uint64_t mask = 0;
  port::LocalMonitorHandler handler;
  bool removed = false;
};

Desktop& Desktop::instance() {
  // Lives for the process: never destroyed, so no static destructor runs
  // handlers or releases objects after the host has shut down.
  static Desktop* desktop = new Desktop();
  return *desktop;
}

void Desktop::reset() {
  applicationPresent = true;
  active = true;
  keyWindow.reset();
  mainWindow.reset();
  currentEvent.reset();
  pressedButtons = 0;
  mouse = {};
  refuseMouseEventCreation = false;
  refuseMonitorCreation = false;
  raisingCalls.clear();
  keptException.reset();
  resetIncomingDrags();
  windows_.clear();
  viewsById_.clear();
  clearLog();
  violations_.clear();
}

bool Desktop::raises(const std::string& selector) {
  if (raisingCalls.count(selector) == 0) return false;
  if (!keptException) {
    keptException =
        port::PlatformException{"NSInvalidArgumentException", "simulated: " + selector + " raised"};
  }
  return true;
}

void Desktop::registerView(const std::shared_ptr<SimView>& view) {
  if (view->id.empty()) view->id = "view-" + std::to_string(nextViewId_++);
  viewsById_[view->id] = view;
}

std::shared_ptr<SimView> Desktop::buildView(const ViewDescription& description,
                                            const std::shared_ptr<SimWindow>& window) {
  auto view = std::make_shared<SimView>();
  view->id = description.id;
  view->cls = description.className;
  view->frame = description.frame;
  view->boundsOrigin = description.boundsOrigin.value_or(Point{});
  view->hidden = description.hidden;
  view->dragRegions = description.dragRegions;
  view->dragRegionHit = description.dragRegionHit;
  view->window = window;
  registerView(view);
  for (const ViewDescription& childDescription : description.children) {
    auto child = buildView(childDescription, window);
    child->parent = view;
    view->children.push_back(child);
  }
  return view;
}

std::shared_ptr<SimWindow> Desktop::createWindow(std::optional<int64_t> number, Rect frame,
                                                 const std::optional<ViewDescription>& content) {
  auto window = std::make_shared<SimWindow>();
  window->number = number.value_or(nextWindowNumber_++);
  if (this->window(window->number)) {
    violation("a window with number " + std::to_string(window->number) + " already exists");
  }
  window->frame = frame;
  ViewDescription frameView;
  frameView.className = "NSThemeFrame";
  frameView.frame = {0, 0, frame.width, frame.height};
  window->frameView = buildView(frameView, window);
  windows_.push_back(window);
  setContentView(window->number, content);
  return window;
}

void Desktop::setContentView(int64_t number, const std::optional<ViewDescription>& content) {
  auto window = this->window(number);
  if (!window) return violation("setContentView: no window " + std::to_string(number));
  auto& siblings = window->frameView->children;
  if (window->content) {
    std::erase(siblings, window->content);
    window->content->parent.reset();
    window->content.reset();
  }
  if (!content) return;
  ViewDescription contentView = *content;
  if (contentView.frame.width == 0 && contentView.frame.height == 0) {
    contentView.frame = {0, 0, window->frame.width, window->frame.height};
  }
  window->content = buildView(contentView, window);
  window->content->parent = window->frameView;
  siblings.push_back(window->content);
}

void Desktop::closeWindow(int64_t number) {
  auto window = this->window(number);
  if (!window) return;
  dropZonesWindowWillClose(number);
  std::erase(windows_, window);
  if (keyWindow == window) keyWindow.reset();
  if (mainWindow == window) mainWindow.reset();
}

std::shared_ptr<SimWindow> Desktop::window(int64_t number) const {
  for (const auto& w : windows_) {
    if (w->number == number) return w;
  }
  return nullptr;
}

std::shared_ptr<SimView> Desktop::view(const std::string& id) const {
  auto it = viewsById_.find(id);
  return it == viewsById_.end() ? nullptr : it->second.lock();
}

std::shared_ptr<SimEvent> Desktop::makeEvent(const EventDescription& description) {
  auto event = std::make_shared<SimEvent>();
  event->serial = nextEventSerial_++;
  event->eventType = description.type;
  event->windowNumber = description.windowNumber;
  if (description.windowNumber != 0) {
    event->eventWindow = window(description.windowNumber);
  }
  event->location = description.location;
  event->flags = description.modifierFlags;
  event->dx = description.deltaX;
  event->button = description.buttonNumber;
  event->timestamp = uptime();
  event->clickCount = 1;
  event->pressure = 1.0f;
  return event;
}

DispatchResult Desktop::dispatch(std::shared_ptr<SimEvent> event) {
  DispatchResult result;
  result.eventSerial = event->serial;
  // The last event taken from the queue: it stays current after dispatch.
  currentEvent = event;
  const uint64_t type = event->type();
  if (!runningDrags().empty() &&
      (type == port::event_type::kLeftMouseDragged || type == port::event_type::kLeftMouseUp)) {
    result.takenByDrag = true;
    return result;
  }
  // Handlers may add or remove monitors while they run: walk a copy, and skip
  // any removed on the way.
  auto snapshot = monitors_;
  port::EventPtr passing = event;
  for (const auto& monitor : snapshot) {
    if (monitor->removed) continue;
    if ((monitor->mask & port::eventMaskFromType(passing->type())) == 0) continue;
    passing = monitor->handler(passing);
    if (!passing) break;
  }
  if (!passing) {
    result.dropped = true;
  } else if (auto w = std::dynamic_pointer_cast<SimWindow>(passing->window())) {
    auto* simEvent = dynamic_cast<const SimEvent*>(passing.get());
    auto hit =
        std::dynamic_pointer_cast<SimView>(w->frameView->hitTest(passing->locationInWindow()));
    if (hit && simEvent) {
      hit->deliveries.push_back({simEvent->serial, simEvent->eventType, "dispatch"});
      result.deliveredTo = hit->id;
    }
  }
  return result;
}

port::MonitorTokenPtr Desktop::addMonitor(uint64_t mask, port::LocalMonitorHandler handler) {
  if (refuseMonitorCreation) return nullptr;
  auto monitor = std::make_shared<Monitor>();
  monitor->id = nextMonitorId_++;
  monitor->mask = mask;
  monitor->handler = std::move(handler);
  monitors_.push_back(monitor);
  return monitor;
}

void Desktop::removeMonitor(const port::MonitorTokenPtr& token) {
  auto it = std::find_if(monitors_.begin(), monitors_.end(),
                         [&](const auto& m) { return m.get() == token.get(); });
  if (it == monitors_.end()) {
    violation("removeMonitor: with a token that is not an installed monitor");
    return;
  }
  (*it)->removed = true;
  monitors_.erase(it);
}

std::vector<MonitorInfo> Desktop::monitors() const {
  std::vector<MonitorInfo> out;
  for (const auto& m : monitors_) out.push_back({m->id, m->mask});
  return out;
}

void Desktop::post(double delaySeconds, std::function<void()> block) {
  queue_.push_back({clock_ + std::max(0.0, delaySeconds), nextBlockSequence_++, std::move(block)});
  if (delaySeconds <= 0 && wakeMainQueue) wakeMainQueue();
}

int Desktop::runLiveTurn() {
  ++liveTurns_;
  liveTurnRunning_ = true;
  int ran = runDue();
  liveTurnRunning_ = false;
  return ran;
}

bool Desktop::takeNextDue(double limit, Block& out) {
  auto best = queue_.end();
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->due > limit) continue;
    if (best == queue_.end() || it->due < best->due ||
        (it->due == best->due && it->sequence < best->sequence)) {
      best = it;
    }
  }
  if (best == queue_.end()) return false;
  out = std::move(*best);
  queue_.erase(best);
  return true;
}

int Desktop::runDue() {
  int ran = 0;
  Block block;
  while (takeNextDue(clock_, block)) {
    block.run();
    ++ran;
  }
  return ran;
}

int Desktop::advance(double seconds) {
  double target = clock_ + std::max(0.0, seconds);
  int ran = 0;
  Block block;
  while (takeNextDue(target, block)) {
    clock_ = std::max(clock_, block.due);
    block.run();
    ++ran;
  }
  clock_ = target;
  return ran;
}

std::vector<double> Desktop::pendingDueTimes() const {
  std::vector<double> out;
  for (const auto& b : queue_) out.push_back(b.due);
  std::sort(out.begin(), out.end());
  return out;
}

void Desktop::writeLog(std::string line) {
  if (echoLogToStderr) {
    // NSLog's shape: date, time with milliseconds, process name, [pid:thread], line.
    char stamp[64] = "";
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm local;
    localtime_r(&ts.tv_sec, &local);
    size_t n = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    snprintf(stamp + n, sizeof stamp - n, ".%03ld", ts.tv_nsec / 1000000);
    std::string out = std::string(stamp) + " node[" + std::to_string(getpid()) + ":" +
                      std::to_string(gettid()) + "] " + line + "\n";
    // One write, so concurrent writers never interleave inside a line.
    ssize_t ignored = ::write(STDERR_FILENO, out.data(), out.size());
    (void)ignored;
  }
  std::lock_guard<std::mutex> lock(logMutex_);
  log_.push_back(std::move(line));
}

std::vector<std::string> Desktop::log() const {
  std::lock_guard<std::mutex> lock(logMutex_);
  return log_;
}

void Desktop::clearLog() {
  std::lock_guard<std::mutex> lock(logMutex_);
  log_.clear();
}

bool Desktop::onMainThread() const {
  long mainThread = mainThreadId_.load();
  long current = static_cast<long>(gettid());
  return mainThread == 0 ? current == static_cast<long>(getpid()) : current == mainThread;
}

void Desktop::setMainThreadToCurrent() { mainThreadId_ = static_cast<long>(gettid()); }

void Desktop::violation(const std::string& what) {
  std::string line = "[desktop-sim] AppKit would refuse: " + what + "\n";
  ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
  violations_.push_back(what);
}

}  // namespace kestrovan::sim
