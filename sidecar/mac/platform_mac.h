// MacPlatform: the sidecar's platform on macOS, on AppKit, CoreGraphics and
// Grand Central Dispatch.
//
// Global monitors are NSEvent global monitors; the drag pasteboard is
// NSPasteboardNameDrag; the polling timer and the signal sources are dispatch
// sources on the main queue; the loop is the main NSRunLoop. Create one on the
// main thread, in `main`, and keep it for the life of the process.
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
  std::optional<MonitorToken> addGlobalMonitor(std::uint64_t mask,
                                               std::function<void()> handler) override;
  void removeMonitor(MonitorToken token) override;
  std::optional<TimerToken> startRepeatingTimer(std::chrono::nanoseconds interval,
                                                std::function<void()> tick) override;
  void cancelTimer(TimerToken token) override;
  void disableDefaultSignalAction(int signalNumber) override;
  void addSignalSource(int signalNumber, std::function<void()> handler) override;
  int runMainLoop() override;
  void exitProcess(int status) override;
  void writeStandardOutput(std::string_view bytes) override;
  void writeStandardError(std::string_view bytes) override;

 private:
  struct State;  // the Objective-C objects, kept out of this header
  std::unique_ptr<State> state_;
};

}  // namespace kestrovan::sidecar
