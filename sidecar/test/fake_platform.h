// FakePlatform: a scripted SidecarPlatform for tests. It runs the real core on
// a virtual clock, records every call the core makes, and lets the test set
// the pointer, the buttons and the drag pasteboard, fire the global monitors'
// handlers, advance the clock through the polling timer's ticks, and deliver
// signals.
//
// Use it either directly (create a DragDropzoneMonitor on it) or through
// `runSidecar`, with the test's steps given as `mainLoopScript`, which
// `runMainLoop` runs as if it were the run loop. Once `exitProcess` has been
// called the fake behaves like a gone process: nothing more is delivered.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port/sidecar_platform.h"

namespace kestrovan::sidecar::testing {

class FakePlatform : public SidecarPlatform {
 public:
  // --- What the platform reports (set freely by the test).
  ScreenPoint pointer;
  std::uint64_t pressedButtons = 0;
  bool hardwareLeftDown = false;
  std::int64_t changeCount = 0;
  bool canReadFileURLs = false;
  std::optional<std::vector<std::string>> types = std::vector<std::string>{};
  // The platform's own names of file-promise types (none by default, as on X11).
  std::vector<std::string> promiseReadableTypes;
  bool monitorsFail = false;  // addGlobalMonitor returns none
  // Whether the monitors see every press (as X11's raw events do); only then
  // does the core install a pasteboard change monitor and let ticks stop.
  bool seesEveryPress = false;
  std::optional<std::string> connectFailure;
  // The parent's process id as parentProcessId reads it; kOrphanAdopter
  // once it has ended.
  ProcessId parentPid = 4242;
  // The parent ends just as sendSignalOnParentExit sets up the watch, which
  // then never fires.
  bool parentEndsAsWatched = false;

  // --- What the core did.
  std::vector<std::string> calls;  // every port call, e.g. "addGlobalMonitor 64"
  std::vector<std::string> outputWrites;
  std::vector<std::string> errorWrites;
  std::optional<int> exitStatus;      // set by exitProcess
  std::optional<int> killedBySignal;  // a signal delivered that kept its default action

  // The run loop's body when the core calls runMainLoop.
  std::function<void()> mainLoopScript;

  // Everything written to standard output, joined.
  std::string output() const;
  // The calls recorded since the last `clearCalls`.
  void clearCalls() { calls.clear(); }

  // --- Driving.
  // A new drag: replaces the pasteboard contents (the change count moves on)
  // and tells the pasteboard change monitors.
  void beginPasteboardDrag(bool files);
  // Fires every installed monitor whose mask has any of `eventMask`'s bits.
  void fireEvent(std::uint64_t eventMask);
  // Advances the virtual clock by `duration`, running every timer tick due.
  void advance(std::chrono::nanoseconds duration);
  // Runs the earliest due tick (moving the clock to it).
  void tick();
  // The parent process ends: the process is adopted (parentPid becomes
  // kOrphanAdopter) and the signal asked for by sendSignalOnParentExit is
  // delivered; with none asked for, nothing more happens.
  void parentExits();
  // Delivers a signal: to its source if its default action was disabled,
  // else it "kills" the process (recorded in killedBySignal).
  void deliverSignal(int signalNumber);

  bool exited() const { return exitStatus || killedBySignal; }
  std::size_t installedMonitorCount() const {
    return monitors_.size() + pasteboardMonitors_.size();
  }
  std::size_t runningTimerCount() const { return timers_.size(); }
  std::chrono::nanoseconds now() const { return now_; }

  // --- SidecarPlatform.
  std::optional<std::string> connectToWindowServer() override;
  void activateAsAccessory() override;
  ScreenPoint mouseLocation() override;
  std::uint64_t pressedMouseButtons() override;
  bool hardwareLeftButtonDown() override;
  std::int64_t dragPasteboardChangeCount() override;
  bool dragPasteboardCanReadFileURLs() override;
  std::optional<std::vector<std::string>> dragPasteboardTypes() override;
  std::vector<std::string> filePromiseReadableTypes() override;
  std::optional<MonitorToken> addGlobalMonitor(std::uint64_t mask,
                                               std::function<void()> handler) override;
  void removeMonitor(MonitorToken token) override;
  bool monitorsSeeEveryPress() override;
  std::optional<MonitorToken> addDragPasteboardChangeMonitor(
      std::function<void()> handler) override;
  std::optional<TimerToken> startRepeatingTimer(std::chrono::nanoseconds interval,
                                                std::function<void()> tick) override;
  void cancelTimer(TimerToken token) override;
  void disableDefaultSignalAction(int signalNumber) override;
  void addSignalSource(int signalNumber, std::function<void()> handler) override;
  ProcessId parentProcessId() override;
  void sendSignalOnParentExit(ProcessId parent, int signalNumber) override;
  int runMainLoop() override;
  void exitProcess(int status) override;
  void writeStandardOutput(std::string_view bytes) override;
  void writeStandardError(std::string_view bytes) override;

 private:
  struct Monitor {
    std::uint64_t mask;
    std::function<void()> handler;
  };
  struct Timer {
    std::chrono::nanoseconds interval;
    std::chrono::nanoseconds due;
    std::function<void()> tick;
  };

  std::uint64_t nextToken_ = 1;
  std::map<MonitorToken, Monitor> monitors_;
  std::map<MonitorToken, std::function<void()>> pasteboardMonitors_;
  std::map<TimerToken, Timer> timers_;
  std::map<int, bool> defaultActionDisabled_;
  std::multimap<int, std::function<void()>> signalSources_;
  std::optional<int> parentExitSignal_;
  std::chrono::nanoseconds now_{0};
};

}  // namespace kestrovan::sidecar::testing
