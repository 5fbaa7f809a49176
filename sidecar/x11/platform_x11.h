// X11Platform: the sidecar's platform on Linux, against an X server.
//
// - Pointer: `XQueryPointer` on the root window, turned into the sidecar's
//   space, whose origin is the lower-left corner of the primary monitor with
//   y up (as on macOS): x = X's x - primary x, y = primary bottom - X's y. The
//   primary monitor is RandR's (1.5 or later: the monitor marked primary);
//   without one, Xinerama's first head (as toolkits take it, and as a server
//   with several screens joined by Xinerama has no RandR primary); without
//   Xinerama, the root window. It is read again on every RandR screen,
//   CRTC or output change and at every button press (monitors that clients
//   define send no event). Buttons in the macOS bit layout; the "hardware"
//   left button from the XInput2 state of the client pointer.
// - Global monitors: XInput2 raw button and motion events on the root window,
//   which arrive even while another client (a drag source) grabs the pointer.
//   They need XInput 2.1 or later; without it no monitor is installed. With
//   it they see every press, so the core's polling timer stops while idle and
//   the sidecar makes no wake-up of its own until the next press or drag.
// - Drag pasteboard: the XdndSelection selection (see selection_x11.h).
// - Main queue: one `poll` over the X connection, one timerfd per timer and a
//   signalfd for the signals whose default action was disabled (they are
//   blocked, not ignored: an ignored signal never reaches a signalfd).
// - Parent exit: `prctl(PR_SET_PDEATHSIG)`, so the kernel sends the signal
//   when the parent thread ends (the application's main thread, where Node
//   starts its children). It watches whoever is the parent when it is set;
//   the core reads the parent again afterwards to see that it is the one it
//   read before.
//
// Construct it, then `connectToWindowServer()` opens the display; every other
// operation needs a successful connection. Main thread only.
#pragma once

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <vector>

#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

class XdndSelectionReader;

// The warning written at start-up in a Wayland session.
inline constexpr std::string_view kWaylandWarning =
    "[KestrovanDragDropzone] Warning: this is a Wayland session; through XWayland the sidecar sees "
    "the pointer only over X11 windows and misses most drags.\n";

class X11Platform final : public SidecarPlatform {
 public:
  X11Platform();
  ~X11Platform() override;

  X11Platform(const X11Platform&) = delete;
  X11Platform& operator=(const X11Platform&) = delete;

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
    int fd;
    std::function<void()> tick;
  };

  void drainXEvents();
  void handleXEvent(XEvent& event);
  void fireMonitors(std::uint64_t eventMask);
  void updateRawEventSelection();
  void runDueTimers(const std::vector<TimerToken>& due);
  void runPendingSignals();

  Display* display_ = nullptr;
  Window root_ = 0;
  // The primary monitor in root coordinates (X's y down).
  struct MonitorGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
  };
  void readPrimaryMonitor();
  bool handleRandrEvent(XEvent& event);

  MonitorGeometry primary_;
  bool randrMonitors_ = false;  // RandR 1.5 or later: XRRGetMonitors
  bool xinerama_ = false;       // Xinerama is active: XineramaQueryScreens
  int randrEventBase_ = -1;     // -1 without RandR
  int xiOpcode_ = -1;           // XInput's major opcode, -1 without XInput 2.1
  int clientPointer_ = 0;       // XInput2 id of the client's master pointer
  std::unique_ptr<XdndSelectionReader> selection_;
  ScreenPoint lastPointer_;

  std::uint64_t nextToken_ = 1;
  std::map<MonitorToken, Monitor> monitors_;
  std::map<MonitorToken, std::function<void()>> pasteboardMonitors_;
  bool rawLeftDown_ = false;
  unsigned selectedRawEvents_ = 0;  // bit per XI raw event type now selected

  std::map<TimerToken, Timer> timers_;

  sigset_t blockedSignals_;
  int signalFd_ = -1;
  std::multimap<int, std::function<void()>> signalHandlers_;

  bool exitRequested_ = false;
  int exitStatus_ = 0;
};

}  // namespace kestrovan::sidecar
