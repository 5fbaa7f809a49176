// DragDropzoneMonitor: the sidecar's one long-lived object. It watches the
// mouse through three global event monitors and a 50 ms polling timer, looks
// at the drag pasteboard, and prints "DRAG_ENTER", "DRAG_EXIT" and
// "OUTSIDE_CLICK" on standard output.
//
// Create it with `create` (it must be owned by a shared_ptr: its handlers and
// timer hold it weakly and do nothing once it is gone), then call `start()`
// once.
//
// Idle without wake-ups: where the platform's monitors see every press and
// report every pasteboard change (X11 with XInput 2.1), the polling timer is
// cancelled at a tick that finds the left button up outside a drag state
// (isInsideZone false), and started again, first deadline now, by the next
// press or drag event or pasteboard change. Output is the same as with the
// timer always running: such a tick only resets the polling state and takes
// the pasteboard's change count as inactive, and every event that could make
// a later tick differ starts the timer again. Elsewhere (macOS) it runs
// every 50 ms all the time.
//
// Every member runs on the main thread; there is no locking. Destroying the
// object does not remove the monitors; `stop()` does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "core/rect.h"
#include "core/zones.h"
#include "port/sidecar_platform.h"

namespace kestrovan::sidecar {

// Whether the pasteboard offers files: readable as file URLs, or offering the
// file-URL or filenames type, or a type of promised files (one of
// `filePromisePasteboardTypes` or of the platform's
// `filePromiseReadableTypes`, asked only when the others are not offered). A
// pasteboard with no type list holds none.
bool dragPasteboardContainsFiles(DragPasteboardPort& pasteboard);

class DragDropzoneMonitor : public std::enable_shared_from_this<DragDropzoneMonitor> {
 public:
  // Reads the drag pasteboard's change count as the inactive count. The
  // platform must outlive the monitor.
  static std::shared_ptr<DragDropzoneMonitor> create(const SidecarZones& zones,
                                                     SidecarPlatform& platform);

  DragDropzoneMonitor(const DragDropzoneMonitor&) = delete;
  DragDropzoneMonitor& operator=(const DragDropzoneMonitor&) = delete;

  // Installs the drag, mouse-down and mouse-up monitors in that order, then
  // the polling timer.
  void start();

  // Removes the monitors and cancels the timer. A second call does nothing,
  // and the timer is not started again.
  void stop();

  // Writes one output line (the word and a line feed) in one call.
  void printSignal(std::string_view signal);

  // State, for inspection.
  bool isInsideZone() const { return isInsideZone_; }
  std::int64_t inactiveDragPasteboardChangeCount() const {
    return inactiveDragPasteboardChangeCount_;
  }
  std::optional<ScreenPoint> pollingMouseDownStart() const { return pollingMouseDownStart_; }
  bool pollingIsDragging() const { return pollingIsDragging_; }
  bool pollingTimerRunning() const { return pollTimer_.has_value(); }

 private:
  DragDropzoneMonitor(const SidecarZones& zones, SidecarPlatform& platform);

  // The file-drag test: false while the change count is the inactive one,
  // else whether the pasteboard offers files.
  bool fileDragTest();

  // Enter, stay or exit, given the file-drag test, whether the pointer counts
  // as entering, and whether it is in the retention zone.
  void applyZoneRule(bool fileDrag, bool entering, bool inRetention);

  void handleLeftMouseDragged();
  void handleMouseDown();
  void handleLeftMouseUp();
  void pollTick();

  // Installs a handler that calls `member` on this object while it lives.
  std::optional<MonitorToken> addMonitor(std::uint64_t mask, void (DragDropzoneMonitor::*member)());
  void startPollingFallback();
  // Starts the polling timer again if it was stopped while idle.
  void resumePolling();

  const Rect triggerZone_;
  const Rect retentionZone_;
  const Rect clickAllowedZone_;
  SidecarPlatform& platform_;
  std::int64_t inactiveDragPasteboardChangeCount_;
  bool isInsideZone_ = false;
  std::optional<MonitorToken> dragMonitor_;
  std::optional<MonitorToken> mouseDownMonitor_;
  std::optional<MonitorToken> mouseUpMonitor_;
  std::optional<MonitorToken> pasteboardMonitor_;  // only where ticks may stop while idle
  bool stopped_ = false;
  std::optional<TimerToken> pollTimer_;
  std::optional<ScreenPoint> pollingMouseDownStart_;
  bool pollingIsDragging_ = false;
};

}  // namespace kestrovan::sidecar
