#include "core/dropzone_monitor.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/output_signals.h"
#include "core/pasteboard_types.h"
#include "core/polling_fallback_constants.h"

namespace kestrovan::sidecar {

bool dragPasteboardContainsFiles(DragPasteboardPort& pasteboard) {
  if (pasteboard.dragPasteboardCanReadFileURLs()) return true;
  const std::optional<std::vector<std::string>> types = pasteboard.dragPasteboardTypes();
  if (!types) return false;
  const auto offered = [&types](std::string_view name) {
    return std::find(types->begin(), types->end(), name) != types->end();
  };
  if (offered(fileURLPasteboardType) || offered(filenamesPasteboardType)) return true;
  if (std::any_of(filePromisePasteboardTypes.begin(), filePromisePasteboardTypes.end(), offered)) {
    return true;
  }
  if (types->empty()) return false;
  const std::vector<std::string> readable = pasteboard.filePromiseReadableTypes();
  return std::any_of(readable.begin(), readable.end(),
                     [&offered](const std::string& name) { return offered(name); });
}

std::shared_ptr<DragDropzoneMonitor> DragDropzoneMonitor::create(const SidecarZones& zones,
                                                                 SidecarPlatform& platform) {
  return std::shared_ptr<DragDropzoneMonitor>(new DragDropzoneMonitor(zones, platform));
}

DragDropzoneMonitor::DragDropzoneMonitor(const SidecarZones& zones, SidecarPlatform& platform)
    : triggerZone_(zones.triggerZone),
      retentionZone_(zones.retentionZone),
      clickAllowedZone_(zones.clickAllowedZone),
      platform_(platform),
      inactiveDragPasteboardChangeCount_(platform.dragPasteboardChangeCount()) {}

std::optional<MonitorToken> DragDropzoneMonitor::addMonitor(std::uint64_t mask,
                                                            void (DragDropzoneMonitor::*member)()) {
  return platform_.addGlobalMonitor(mask, [weak = weak_from_this(), member] {
    if (const auto self = weak.lock()) ((*self).*member)();
  });
}

void DragDropzoneMonitor::start() {
  dragMonitor_ = addMonitor(kLeftMouseDraggedMask, &DragDropzoneMonitor::handleLeftMouseDragged);
  mouseDownMonitor_ = addMonitor(kLeftMouseDownMask | kRightMouseDownMask | kOtherMouseDownMask,
                                 &DragDropzoneMonitor::handleMouseDown);
  mouseUpMonitor_ = addMonitor(kLeftMouseUpMask, &DragDropzoneMonitor::handleLeftMouseUp);
  if (mouseDownMonitor_ && platform_.monitorsSeeEveryPress()) {
    pasteboardMonitor_ = platform_.addDragPasteboardChangeMonitor([weak = weak_from_this()] {
      if (const auto self = weak.lock()) self->resumePolling();
    });
  }
  startPollingFallback();
}

void DragDropzoneMonitor::startPollingFallback() {
  pollTimer_ = platform_.startRepeatingTimer(pollingInterval, [weak = weak_from_this()] {
    if (const auto self = weak.lock()) self->pollTick();
  });
}

void DragDropzoneMonitor::resumePolling() {
  if (!pasteboardMonitor_ || pollTimer_ || stopped_) return;
  startPollingFallback();
}

void DragDropzoneMonitor::stop() {
  for (std::optional<MonitorToken>* monitor :
       {&dragMonitor_, &mouseDownMonitor_, &mouseUpMonitor_, &pasteboardMonitor_}) {
    if (*monitor) platform_.removeMonitor(**monitor);
  }
  if (pollTimer_) platform_.cancelTimer(*pollTimer_);
  dragMonitor_.reset();
  mouseDownMonitor_.reset();
  mouseUpMonitor_.reset();
  pasteboardMonitor_.reset();
  pollTimer_.reset();
  stopped_ = true;
}

void DragDropzoneMonitor::printSignal(std::string_view signal) {
  std::string line(signal);
  line.push_back('\n');
  platform_.writeStandardOutput(line);
}

bool DragDropzoneMonitor::fileDragTest() {
  if (platform_.dragPasteboardChangeCount() == inactiveDragPasteboardChangeCount_) return false;
  return dragPasteboardContainsFiles(platform_);
}

void DragDropzoneMonitor::applyZoneRule(bool fileDrag, bool entering, bool inRetention) {
  if (fileDrag && entering && !isInsideZone_) {
    isInsideZone_ = true;
    printSignal(dragEnterSignal);
  } else if (fileDrag && inRetention) {
    // A file drag going on inside the retention zone changes nothing.
  } else if (isInsideZone_) {
    isInsideZone_ = false;
    printSignal(dragExitSignal);
  }
}

void DragDropzoneMonitor::handleLeftMouseDragged() {
  resumePolling();
  const ScreenPoint pointer = platform_.mouseLocation();
  const bool fileDrag = fileDragTest();
  applyZoneRule(fileDrag, rectContains(triggerZone_, pointer),
                rectContains(retentionZone_, pointer));
}

void DragDropzoneMonitor::handleMouseDown() {
  resumePolling();  // any press: the timer's first tick samples it at once
  if (rectContains(clickAllowedZone_, platform_.mouseLocation())) return;
  isInsideZone_ = false;  // an outside click ends the drag state without "DRAG_EXIT"
  printSignal(outsideClickSignal);
}

void DragDropzoneMonitor::handleLeftMouseUp() {
  const bool inRetention = rectContains(retentionZone_, platform_.mouseLocation());
  inactiveDragPasteboardChangeCount_ = platform_.dragPasteboardChangeCount();
  if (isInsideZone_ && !inRetention) {
    isInsideZone_ = false;
    printSignal(dragExitSignal);
  }
}

void DragDropzoneMonitor::pollTick() {
  const ScreenPoint pointer = platform_.mouseLocation();
  const std::uint64_t buttons = platform_.pressedMouseButtons();
  const bool hardwareLeftDown = platform_.hardwareLeftButtonDown();
  const bool inTrigger = rectContains(triggerZone_, pointer);
  const bool inRetention = rectContains(retentionZone_, pointer);

  if ((buttons & 1u) != 0 || hardwareLeftDown) {
    const bool fileDrag = fileDragTest();
    if (!pollingMouseDownStart_) pollingMouseDownStart_ = pointer;
    if (!pollingIsDragging_) {
      const double dx = pointer.x - pollingMouseDownStart_->x;
      const double dy = pointer.y - pollingMouseDownStart_->y;
      if (pollingDragStartThreshold * pollingDragStartThreshold <= dx * dx + dy * dy) {
        pollingIsDragging_ = true;
      }
    }
    applyZoneRule(fileDrag, pollingIsDragging_ && inTrigger, inRetention);
  } else {
    inactiveDragPasteboardChangeCount_ = platform_.dragPasteboardChangeCount();
    pollingMouseDownStart_.reset();
    pollingIsDragging_ = false;
    if (isInsideZone_ && !inRetention) {
      isInsideZone_ = false;
      printSignal(dragExitSignal);
    }
    // Idle: until a press, a drag event or a pasteboard change, every tick
    // would do just what this one did.
    if (pasteboardMonitor_ && !isInsideZone_ && pollTimer_) {
      platform_.cancelTimer(*pollTimer_);
      pollTimer_.reset();
    }
  }
}

}  // namespace kestrovan::sidecar
