#include "test/fake_platform.h"

#include <stdexcept>

#include "core/termination.h"

namespace kestrovan::sidecar::testing {

std::string FakePlatform::output() const {
  std::string all;
  for (const std::string& write : outputWrites) all += write;
  return all;
}

void FakePlatform::beginPasteboardDrag(bool files) {
  ++changeCount;
  canReadFileURLs = files;
  types = files ? std::vector<std::string>{"public.file-url", "NSFilenamesPboardType"}
                : std::vector<std::string>{"public.utf8-plain-text"};
  if (exited()) return;
  std::vector<std::function<void()>> handlers;
  for (const auto& [token, handler] : pasteboardMonitors_) handlers.push_back(handler);
  for (const auto& handler : handlers) {
    if (exited()) return;
    handler();
  }
}

void FakePlatform::fireEvent(std::uint64_t eventMask) {
  if (exited()) return;
  // Copy the handlers first: a handler may remove monitors.
  std::vector<std::function<void()>> matching;
  for (const auto& [token, monitor] : monitors_) {
    if ((monitor.mask & eventMask) != 0) matching.push_back(monitor.handler);
  }
  for (const auto& handler : matching) {
    if (exited()) return;
    handler();
  }
}

void FakePlatform::tick() {
  if (exited() || timers_.empty()) return;
  auto earliest = timers_.begin();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.due < earliest->second.due) earliest = it;
  }
  now_ = std::max(now_, earliest->second.due);
  earliest->second.due += earliest->second.interval;
  const std::function<void()> handler = earliest->second.tick;
  handler();
}

void FakePlatform::advance(std::chrono::nanoseconds duration) {
  const std::chrono::nanoseconds end = now_ + duration;
  while (!exited()) {
    bool ran = false;
    for (const auto& [token, timer] : timers_) {
      if (timer.due <= end) {
        ran = true;
        break;
      }
    }
    if (!ran) break;
    tick();
  }
  if (!exited()) now_ = end;
}

void FakePlatform::parentExits() {
  parentPid = kOrphanAdopter;
  if (parentExitSignal_) deliverSignal(*parentExitSignal_);
}

void FakePlatform::deliverSignal(int signalNumber) {
  if (exited()) return;
  if (!defaultActionDisabled_[signalNumber]) {
    killedBySignal = signalNumber;
    return;
  }
  auto [begin, end] = signalSources_.equal_range(signalNumber);
  std::vector<std::function<void()>> handlers;
  for (auto it = begin; it != end; ++it) handlers.push_back(it->second);
  for (const auto& handler : handlers) {
    if (exited()) return;
    handler();
  }
}

std::optional<std::string> FakePlatform::connectToWindowServer() {
  calls.push_back("connectToWindowServer");
  return connectFailure;
}

void FakePlatform::activateAsAccessory() { calls.push_back("activateAsAccessory"); }

ScreenPoint FakePlatform::mouseLocation() {
  calls.push_back("mouseLocation");
  return pointer;
}

std::uint64_t FakePlatform::pressedMouseButtons() {
  calls.push_back("pressedMouseButtons");
  return pressedButtons;
}

bool FakePlatform::hardwareLeftButtonDown() {
  calls.push_back("hardwareLeftButtonDown");
  return hardwareLeftDown;
}

std::int64_t FakePlatform::dragPasteboardChangeCount() {
  calls.push_back("dragPasteboardChangeCount");
  return changeCount;
}

bool FakePlatform::dragPasteboardCanReadFileURLs() {
  calls.push_back("dragPasteboardCanReadFileURLs");
  return canReadFileURLs;
}

std::optional<std::vector<std::string>> FakePlatform::dragPasteboardTypes() {
  calls.push_back("dragPasteboardTypes");
  return types;
}

std::vector<std::string> FakePlatform::filePromiseReadableTypes() {
  calls.push_back("filePromiseReadableTypes");
  return promiseReadableTypes;
}

std::optional<MonitorToken> FakePlatform::addGlobalMonitor(std::uint64_t mask,
                                                           std::function<void()> handler) {
  calls.push_back("addGlobalMonitor " + std::to_string(mask));
  if (monitorsFail) return std::nullopt;
  const MonitorToken token = nextToken_++;
  monitors_.emplace(token, Monitor{mask, std::move(handler)});
  return token;
}

void FakePlatform::removeMonitor(MonitorToken token) {
  calls.push_back("removeMonitor " + std::to_string(token));
  if (monitors_.erase(token) + pasteboardMonitors_.erase(token) == 0) {
    throw std::logic_error("removeMonitor: unknown token");
  }
}

// A capability, not an action: not recorded in `calls`.
bool FakePlatform::monitorsSeeEveryPress() { return seesEveryPress; }

std::optional<MonitorToken> FakePlatform::addDragPasteboardChangeMonitor(
    std::function<void()> handler) {
  calls.push_back("addDragPasteboardChangeMonitor");
  const MonitorToken token = nextToken_++;
  pasteboardMonitors_.emplace(token, std::move(handler));
  return token;
}

std::optional<TimerToken> FakePlatform::startRepeatingTimer(std::chrono::nanoseconds interval,
                                                            std::function<void()> tick) {
  calls.push_back("startRepeatingTimer " + std::to_string(interval.count()));
  const TimerToken token = nextToken_++;
  timers_.emplace(token, Timer{interval, now_, std::move(tick)});
  return token;
}

void FakePlatform::cancelTimer(TimerToken token) {
  calls.push_back("cancelTimer " + std::to_string(token));
  if (timers_.erase(token) == 0) throw std::logic_error("cancelTimer: unknown token");
}

void FakePlatform::disableDefaultSignalAction(int signalNumber) {
  calls.push_back("disableDefaultSignalAction " + std::to_string(signalNumber));
  defaultActionDisabled_[signalNumber] = true;
}

void FakePlatform::addSignalSource(int signalNumber, std::function<void()> handler) {
  calls.push_back("addSignalSource " + std::to_string(signalNumber));
  signalSources_.emplace(signalNumber, std::move(handler));
}

ProcessId FakePlatform::parentProcessId() {
  calls.push_back("parentProcessId");
  return parentPid;
}

void FakePlatform::sendSignalOnParentExit(ProcessId parent, int signalNumber) {
  calls.push_back("sendSignalOnParentExit " + std::to_string(parent) + " " +
                  std::to_string(signalNumber));
  if (parentEndsAsWatched) {
    parentPid = kOrphanAdopter;
    return;
  }
  if (parent == parentPid) parentExitSignal_ = signalNumber;
}

int FakePlatform::runMainLoop() {
  calls.push_back("runMainLoop");
  if (mainLoopScript) mainLoopScript();
  return exitStatus.value_or(0);
}

void FakePlatform::exitProcess(int status) {
  calls.push_back("exitProcess " + std::to_string(status));
  exitStatus = status;
}

void FakePlatform::writeStandardOutput(std::string_view bytes) {
  calls.push_back("writeStandardOutput");
  if (exited()) throw std::logic_error("write after exit");
  outputWrites.emplace_back(bytes);
}

void FakePlatform::writeStandardError(std::string_view bytes) {
  calls.push_back("writeStandardError");
  errorWrites.emplace_back(bytes);
}

}  // namespace kestrovan::sidecar::testing
