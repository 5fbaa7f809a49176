// A started DragDropzoneMonitor on a FakePlatform, with the worked example's
// zones (tray 100,800,200,30; dropzone 400,500,300,200; padding 20) and named
// points in and around them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/dropzone_monitor.h"
#include "core/zones.h"
#include "port/event_monitor_port.h"
#include "test/fake_platform.h"

namespace kestrovan::sidecar::testing {

inline constexpr Rect kExampleTrayFrame{100, 800, 200, 30};
inline constexpr Rect kExampleDropzoneFrame{400, 500, 300, 200};

// triggerZone (150,700,100,100); retentionZone (150,480,570,320);
// clickAllowedZone (100,500,600,330).
inline SidecarZones exampleZones() {
  SidecarSettings settings;
  settings.trayFrame = kExampleTrayFrame;
  settings.dropzoneFrame = kExampleDropzoneFrame;
  return computeZones(settings);
}

// Each point is named for what it lies in; the trigger zone lies in the
// click-allowed zone, and the dropzone frame in the retention and
// click-allowed zones (NamedPointsTest in zones_test.cc checks every one).
inline constexpr ScreenPoint kInTrigger{200, 750};     // so also retention and click-allowed
inline constexpr ScreenPoint kInTriggerToo{230, 720};  // likewise
inline constexpr ScreenPoint kInDropzoneFrameInsideRetention{500, 600};  // and click-allowed
inline constexpr ScreenPoint kOnTrayOutsideRetention{120, 820};          // click-allowed only
inline constexpr ScreenPoint kOutsideAll{1000, 100};
inline constexpr ScreenPoint kOutsideAllToo{50, 50};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    monitor = DragDropzoneMonitor::create(exampleZones(), platform);
    monitor->start();
    platform.clearCalls();
  }

  // Left-mouse-dragged event at `point` (the button is down).
  void dragTo(ScreenPoint point) {
    platform.pointer = point;
    platform.pressedButtons |= 1;
    platform.hardwareLeftDown = true;
    platform.fireEvent(kLeftMouseDraggedMask);
  }
  void pressAt(ScreenPoint point, std::uint64_t mask = kLeftMouseDownMask) {
    platform.pointer = point;
    if (mask == kLeftMouseDownMask) {
      platform.pressedButtons |= 1;
      platform.hardwareLeftDown = true;
    }
    platform.fireEvent(mask);
  }
  void releaseAt(ScreenPoint point) {
    platform.pointer = point;
    platform.pressedButtons &= ~std::uint64_t{1};
    platform.hardwareLeftDown = false;
    platform.fireEvent(kLeftMouseUpMask);
  }
  // Output lines since the start, without their line feeds.
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    for (const std::string& write : platform.outputWrites) {
      result.push_back(write.substr(0, write.size() - 1));
    }
    return result;
  }

  FakePlatform platform;
  std::shared_ptr<DragDropzoneMonitor> monitor;
};

}  // namespace kestrovan::sidecar::testing
