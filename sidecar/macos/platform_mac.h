// MacPlatform: the sidecar's platform on macOS, on AppKit, CoreGraphics and
// Grand Central Dispatch.
//
// Global monitors are NSEvent global monitors; the drag pasteboard is
// NSPasteboardNameDrag; the polling timer, the signal sources and the watch on
// the parent process (DISPATCH_PROC_EXIT) are dispatch sources on the main
// queue. The loop is the application's own (`-[NSApplication run]`): global
// monitors are delivered through the application's event handling, which a
// bare run of the main NSRunLoop never does; timers, dispatch sources and the
// main queue keep working under it. Becoming an accessory application also
// begins a user-initiated activity (idle system sleep allowed) held for the
// life of the process, so App Nap never throttles the 50 ms timer of this
// window-less program. Create one on the main thread, in `main`, and keep it for the life
// of the process.
#pragma once

#include <memory>

#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

class MacPlatform final : public SidecarPlatform {
 public:
  MacPlatform();
  ~MacPlatform() override;

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
  struct State;  // the Objective-C objects, kept out of this header
  std::unique_ptr<State> state_;
};

}  // namespace kestrovan::sidecar
