// The polling fallback: the tick's reads, its drag-start threshold, its
// button-up step, and stop().
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

#include "test/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

class PollingTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    platform.tick();  // the first tick is due at once
    platform.clearCalls();
  }
  // The button held (as seen by the tick only: no monitor event) at `point`.
  void holdAt(ScreenPoint point) {
    platform.pointer = point;
    platform.pressedButtons = 1;
    platform.tick();
  }
  void upAt(ScreenPoint point) {
    platform.pointer = point;
    platform.pressedButtons = 0;
    platform.hardwareLeftDown = false;
    platform.tick();
  }
};

TEST_F(PollingTest, TicksEvery50MillisecondsFromStart) {
  platform.advance(milliseconds(49));
  EXPECT_EQ(platform.calls, Lines{});
  platform.advance(milliseconds(1));
  EXPECT_EQ(platform.calls.front(), "mouseLocation");
  platform.clearCalls();
  platform.advance(milliseconds(100));
  EXPECT_EQ(platform.calls.size(), 8u);  // two ticks, four reads each with the button up
}

TEST_F(PollingTest, ReadsPointerButtonsHardwareThenPasteboard) {
  upAt(kOutsideAll);
  EXPECT_EQ(platform.calls, (Lines{"mouseLocation", "pressedMouseButtons", "hardwareLeftButtonDown",
                                   "dragPasteboardChangeCount"}));
  platform.clearCalls();
  platform.beginPasteboardDrag(true);
  holdAt(kOutsideAll);
  EXPECT_EQ(platform.calls, (Lines{"mouseLocation", "pressedMouseButtons", "hardwareLeftButtonDown",
                                   "dragPasteboardChangeCount", "dragPasteboardCanReadFileURLs"}));
}

struct ButtonSources {
  const char* name;
  std::uint64_t pressedButtons;
  bool hardwareLeft;
  bool down;

  friend void PrintTo(const ButtonSources& c, std::ostream* out) { *out << c.name; }
};

class ButtonSourceTest : public PollingTest, public ::testing::WithParamInterface<ButtonSources> {};

TEST_P(ButtonSourceTest, LeftButtonIsDownFromEitherSource) {
  platform.pointer = kOutsideAll;
  platform.pressedButtons = GetParam().pressedButtons;
  platform.hardwareLeftDown = GetParam().hardwareLeft;
  platform.tick();
  EXPECT_EQ(monitor->pollingMouseDownStart().has_value(), GetParam().down);
}

INSTANTIATE_TEST_SUITE_P(Table, ButtonSourceTest,
                         ::testing::Values(ButtonSources{"PressedBit", 1, false, true},
                                           ButtonSources{"HardwareOnly", 0, true, true},
                                           ButtonSources{"Both", 7, true, true},
                                           ButtonSources{"RightAndMiddleOnly", 6, false, false},
                                           ButtonSources{"None", 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PollingTest, PressAndHoldNeverEnters) {
  platform.beginPasteboardDrag(true);
  for (int i = 0; i < 10; ++i) holdAt(kInTrigger);
  EXPECT_EQ(lines(), Lines{});
  EXPECT_FALSE(monitor->pollingIsDragging());
  EXPECT_EQ(monitor->pollingMouseDownStart(), kInTrigger);
}

struct ThresholdCase {
  double dx;
  double dy;
  bool starts;

  friend void PrintTo(const ThresholdCase& c, std::ostream* out) {
    *out << "a move of (" << c.dx << ", " << c.dy << ")";
  }
};

class ThresholdTest : public PollingTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(ThresholdTest, DragStartsAtSixPoints) {
  platform.beginPasteboardDrag(true);
  const ScreenPoint start{200, 760};
  holdAt(start);
  holdAt(ScreenPoint{start.x + GetParam().dx, start.y + GetParam().dy});
  EXPECT_EQ(monitor->pollingIsDragging(), GetParam().starts);
  EXPECT_EQ(lines(), GetParam().starts ? Lines{"DRAG_ENTER"} : Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Table, ThresholdTest,
    ::testing::Values(ThresholdCase{6.0, 0, true}, ThresholdCase{0, -6.0, true},
                      ThresholdCase{-6.0, 0, true}, ThresholdCase{5.99, 0, false},
                      ThresholdCase{0, 5.99, false}, ThresholdCase{4.2, 4.2, false},  // 35.28 < 36
                      ThresholdCase{4.25, 4.25, true},                                // 36.125
                      ThresholdCase{10, 10, true}));

TEST_F(PollingTest, StartPointIsTheFirstTickThatSeesTheButtonNotWhereItWentDown) {
  platform.beginPasteboardDrag(true);
  // The button went down at kOutsideAll (the monitor saw it), but the first
  // tick with it down finds the pointer already in the trigger zone.
  pressAt(kOutsideAll);
  holdAt(kInTrigger);
  EXPECT_EQ(monitor->pollingMouseDownStart(), kInTrigger);
  EXPECT_FALSE(monitor->pollingIsDragging());
  // 10 points further at the next tick starts the drag.
  holdAt(ScreenPoint{kInTrigger.x + 10, kInTrigger.y});
  EXPECT_EQ(lines(), (Lines{"OUTSIDE_CLICK", "DRAG_ENTER"}));
  // The start point stays where it was.
  holdAt(kInTriggerToo);
  EXPECT_EQ(monitor->pollingMouseDownStart(), kInTrigger);
}

TEST_F(PollingTest, StaysInsideWithinRetentionAndExitsOutsideWithTheButtonDown) {
  platform.beginPasteboardDrag(true);
  holdAt(kOutsideAll);
  holdAt(kInTrigger);
  holdAt(kInDropzoneFrameInsideRetention);
  holdAt(kInTrigger);
  EXPECT_EQ(lines(), Lines{"DRAG_ENTER"});
  holdAt(kOutsideAll);
  holdAt(kOutsideAllToo);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

TEST_F(PollingTest, ReleaseOutsideRetentionExitsWithinOneTickAndOnce) {
  platform.beginPasteboardDrag(true);
  holdAt(kOutsideAll);
  holdAt(kInTrigger);
  // Released outside with no mouse-up event delivered (monitor missing or late).
  platform.pointer = kOutsideAll;
  platform.pressedButtons = 0;
  platform.advance(milliseconds(50));
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
  platform.advance(milliseconds(500));
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
  EXPECT_FALSE(monitor->pollingMouseDownStart().has_value());
}

TEST_F(PollingTest, ReleaseAlreadyReportedByTheMouseUpHandlerIsNotRepeated) {
  platform.beginPasteboardDrag(true);
  holdAt(kOutsideAll);
  holdAt(kInTrigger);
  releaseAt(kOutsideAll);
  platform.advance(milliseconds(200));
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

TEST_F(PollingTest, AfterDropInsideRetentionLeavingWithoutButtonExitsAtTheNextTick) {
  platform.beginPasteboardDrag(true);
  holdAt(kOutsideAll);
  holdAt(kInTrigger);
  releaseAt(kInDropzoneFrameInsideRetention);
  upAt(kInDropzoneFrameInsideRetention);
  upAt(kInTrigger);
  EXPECT_EQ(lines(), Lines{"DRAG_ENTER"});
  upAt(kOnTrayOutsideRetention);
  EXPECT_EQ(lines(), (Lines{"DRAG_ENTER", "DRAG_EXIT"}));
}

TEST_F(PollingTest, ButtonUpTickMakesTheCurrentPasteboardInactive) {
  platform.beginPasteboardDrag(true);
  upAt(kOutsideAll);  // files arrived while no button was down: stale from now on
  EXPECT_EQ(monitor->inactiveDragPasteboardChangeCount(), platform.changeCount);
  holdAt(kOutsideAll);
  holdAt(kInTrigger);
  EXPECT_EQ(lines(), Lines{});
}

TEST_F(PollingTest, TickNeverPrintsOutsideClick) {
  for (int i = 0; i < 5; ++i) {
    holdAt(i % 2 ? kOutsideAll : kOutsideAllToo);
    upAt(kOutsideAll);
  }
  EXPECT_EQ(lines(), Lines{});
}

TEST_F(PollingTest, StopRemovesMonitorsInOrderThenTimerAndIsIdempotent) {
  monitor->stop();
  EXPECT_EQ(platform.calls,
            (Lines{"removeMonitor 1", "removeMonitor 2", "removeMonitor 3", "cancelTimer 4"}));
  EXPECT_EQ(platform.installedMonitorCount(), 0u);
  EXPECT_EQ(platform.runningTimerCount(), 0u);
  platform.clearCalls();
  monitor->stop();
  EXPECT_EQ(platform.calls, Lines{});
}

}  // namespace
}  // namespace kestrovan::sidecar::testing
