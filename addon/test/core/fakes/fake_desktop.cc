#include "fakes/fake_desktop.h"

#include <algorithm>
#include <utility>

#include "fakes/recorded_diagnostics.h"

namespace kestrovan {

namespace {

class FakeMonitorToken final : public port::MonitorToken {};

struct InstalledMonitor {
  size_t record = 0;  // index into Desktop::monitors
  port::MonitorTokenPtr token;
  std::shared_ptr<port::LocalMonitorHandler> handler;
};

class FakeApplication final : public port::Application {
 public:
  port::WindowPtr windowWithWindowNumber(int64_t windowNumber) const override;
  port::WindowPtr keyWindow() const override { return keyWindow_; }
  port::WindowPtr mainWindow() const override { return mainWindow_; }
  port::EventPtr currentEvent() const override { return currentEvent_; }
  bool isActive() const override { return true; }

  std::vector<fake::FakeWindowPtr> windows_;
  port::WindowPtr keyWindow_;
  port::WindowPtr mainWindow_;
  port::EventPtr currentEvent_;
};

struct Desktop {
  FakeApplication application;
  bool applicationPresent = true;
  port::Point mouseLocation;
  uint64_t pressedMouseButtons = 0;
  std::optional<port::PlatformException> raiseOnAddMonitor;
  bool tokenAnyway = false;
  bool noToken = false;
  std::vector<fake::RecordedMonitor> monitors;
  std::vector<InstalledMonitor> installed;
  int strayRemovals = 0;
};

Desktop& desktop() {
  static auto* fakeDesktop = new Desktop();
  return *fakeDesktop;
}

port::WindowPtr FakeApplication::windowWithWindowNumber(int64_t windowNumber) const {
  for (const auto& window : windows_) {
    if (window->windowNumber() == windowNumber) return window;
  }
  return nullptr;
}

}  // namespace

namespace fake {

port::Point FakeView::convertPointFromWindow(port::Point windowPoint) const {
  return {windowPoint.x - originInWindow_.x + bounds_.x,
          windowPoint.y - originInWindow_.y + bounds_.y};
}

port::Point FakeWindow::convertPointFromScreen(port::Point screenPoint) const {
  return {screenPoint.x - originOnScreen_.x, screenPoint.y - originOnScreen_.y};
}

port::EventPtr makeEvent(uint64_t type, port::WindowPtr window, port::Point locationInWindow) {
  return std::make_shared<FakeEvent>(type, std::move(window), locationInWindow);
}

void resetDesktop() { desktop() = Desktop(); }

void setApplicationPresent(bool present) { desktop().applicationPresent = present; }

FakeWindowPtr addWindow(int64_t windowNumber, port::Rect frameOnScreen) {
  auto contentView = std::make_shared<FakeView>(
      port::Rect{0, 0, frameOnScreen.width, frameOnScreen.height}, port::Point{0, 0});
  auto window = std::make_shared<FakeWindow>(
      windowNumber, port::Point{frameOnScreen.x, frameOnScreen.y}, std::move(contentView));
  desktop().application.windows_.push_back(window);
  return window;
}

void setKeyWindow(port::WindowPtr window) { desktop().application.keyWindow_ = std::move(window); }
void setMainWindow(port::WindowPtr window) {
  desktop().application.mainWindow_ = std::move(window);
}
void setCurrentEvent(port::EventPtr event) {
  desktop().application.currentEvent_ = std::move(event);
}

void setMouseLocation(port::Point screenPoint) { desktop().mouseLocation = screenPoint; }
void setPressedMouseButtons(uint64_t buttons) { desktop().pressedMouseButtons = buttons; }

void raiseOnNextAddMonitor(port::PlatformException exception, bool tokenAnyway) {
  desktop().raiseOnAddMonitor = std::move(exception);
  desktop().tokenAnyway = tokenAnyway;
}

void giveNoTokenOnNextAddMonitor() { desktop().noToken = true; }

const std::vector<RecordedMonitor>& monitors() { return desktop().monitors; }
size_t installedMonitorCount() { return desktop().installed.size(); }
int strayMonitorRemovals() { return desktop().strayRemovals; }

port::EventPtr deliver(const port::EventPtr& event) {
  // Handlers may add or remove monitors while they run: walk a copy, and skip
  // any removed on the way.
  const std::vector<InstalledMonitor> snapshot = desktop().installed;
  port::EventPtr passing = event;
  for (const InstalledMonitor& monitor : snapshot) {
    if (!passing) break;
    const std::vector<InstalledMonitor>& now = desktop().installed;
    const bool stillInstalled = std::any_of(
        now.begin(), now.end(), [&](const auto& m) { return m.token == monitor.token; });
    if (!stillInstalled) continue;
    if ((desktop().monitors[monitor.record].mask & port::eventMaskFromType(passing->type())) == 0) {
      continue;
    }
    passing = (*monitor.handler)(passing);
  }
  return passing;
}

}  // namespace fake

namespace port {

Application* sharedApplication() {
  return desktop().applicationPresent ? &desktop().application : nullptr;
}

uint64_t pressedMouseButtons() { return desktop().pressedMouseButtons; }
Point mouseLocation() { return desktop().mouseLocation; }
double systemUptime() { return 0; }
bool isMainThread() { return true; }

EventPtr makeMouseEvent(const MouseEventParameters& parameters) {
  return fake::makeEvent(parameters.type,
                         desktop().application.windowWithWindowNumber(parameters.windowNumber),
                         parameters.location);
}

MonitorTokenPtr addLocalMonitor(uint64_t mask, LocalMonitorHandler handler) {
  Desktop& fakeDesktop = desktop();
  MonitorTokenPtr token;
  if (fakeDesktop.raiseOnAddMonitor) {
    fake::keepPlatformException(*std::exchange(fakeDesktop.raiseOnAddMonitor, std::nullopt));
    if (fakeDesktop.tokenAnyway) token = std::make_shared<FakeMonitorToken>();
  } else if (!std::exchange(fakeDesktop.noToken, false)) {
    token = std::make_shared<FakeMonitorToken>();
  }
  fakeDesktop.monitors.push_back({mask, token, 0});
  if (token) {
    fakeDesktop.installed.push_back({fakeDesktop.monitors.size() - 1, token,
                                     std::make_shared<LocalMonitorHandler>(std::move(handler))});
  }
  return token;
}

void removeMonitor(const MonitorTokenPtr& token) {
  Desktop& fakeDesktop = desktop();
  for (fake::RecordedMonitor& monitor : fakeDesktop.monitors) {
    if (token && monitor.token == token) ++monitor.removals;
  }
  auto installed = std::find_if(fakeDesktop.installed.begin(), fakeDesktop.installed.end(),
                                [&](const auto& m) { return token && m.token == token; });
  if (installed == fakeDesktop.installed.end()) {
    ++fakeDesktop.strayRemovals;
    return;
  }
  fakeDesktop.installed.erase(installed);
}

}  // namespace port

}  // namespace kestrovan
