// The polling timer on a platform whose monitors see every press and report
// every pasteboard change (X11 with XInput 2.1): it stops while idle and
// starts again with the next press, drag event or pasteboard change, without
// changing what is printed.
#include <gtest/gtest.h>

#include <chrono>

#include "test/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

class IdlePollingTest : public MonitorTest {
 protected:
  void SetUp() override {
    platform.seesEveryPress = true;
    MonitorTest::SetUp();
  }
};

TEST_F(IdlePollingTest, TheFirstTickWithTheButtonUpStopsTheTimerAndNothingWakesWhileIdle) {
  ASSERT_TRUE(monitor->pollingTimerRunning());
  platform.tick();
  EXPECT_FALSE(monitor->pollingTimerRunning());
  EXPECT_EQ(platform.runningTimerCount(), 0u);
  platform.clearCalls();
  platform.advance(std::chrono::seconds(20));
  EXPECT_TRUE(platform.calls.empty());  // not one read of the pointer in 20 s
}

TEST_F(IdlePollingTest, APressStartsItAgainAndItsFirstTickSamplesThePressAtOnce) {
  platform.tick();
  pressAt(kOutsideAll);
  EXPECT_EQ(lines(), Lines{"OUTSIDE_CLICK"});
  ASSERT_TRUE(monitor->pollingTimerRunning());
  platform.tick();
  EXPECT_EQ(monitor->pollingMouseDownStart(), kOutsideAll);
  // Held: the ticks go on every 50 ms until the button is found up.
  platform.advance(milliseconds(500));
  EXPECT_TRUE(monitor->pollingTimerRunning());
  releaseAt(kOutsideAll);
  platform.tick();
  EXPECT_FALSE(monitor->pollingTimerRunning());
  EXPECT_FALSE(monitor->pollingMouseDownStart().has_value());
}

TEST_F(IdlePollingTest, APressInsideTheClickAllowedZoneStartsItToo) {
  platform.tick();
  pressAt(kInDropzoneFrameInsideRetention);
  EXPECT_TRUE(lines().empty());
  EXPECT_TRUE(monitor->pollingTimerRunning());
}

TEST_F(IdlePollingTest, APasteboardWrittenWhileIdleIsTakenAsInactiveAndNeverEnters) {
  platform.tick();
  ASSERT_FALSE(monitor->pollingTimerRunning());
  // Files land on the drag pasteboard with no button down (a drag that ended
  // elsewhere, say): as with a timer that never stops, a button-up tick runs
  // and makes them inactive.
  platform.beginPasteboardDrag(true);
  ASSERT_TRUE(monitor->pollingTimerRunning());
  platform.tick();
  EXPECT_EQ(monitor->inactiveDragPasteboardChangeCount(), platform.changeCount);
  EXPECT_FALSE(monitor->pollingTimerRunning());
  // A press and a drag through the trigger zone without a new drag: nothing.
  pressAt(kOutsideAll);
  platform.tick();
  dragTo(kInTrigger);
  platform.advance(milliseconds(200));
  dragTo(kInTriggerToo);
  EXPECT_EQ(lines(), Lines{"OUTSIDE_CLICK"});
}

TEST_F(IdlePollingTest, AfterADropInsideRetentionTicksGoOnUntilThePointerLeaves) {
  platform.tick();
  pressAt(kOutsideAll);
  platform.tick();
  platform.beginPasteboardDrag(true);
  dragTo(kInTrigger);
  releaseAt(kInDropzoneFrameInsideRetention);
  EXPECT_EQ(lines(), (Lines{"OUTSIDE_CLICK", "DRAG_ENTER"}));
  platform.advance(milliseconds(500));
  EXPECT_TRUE(monitor->pollingTimerRunning());  // still Inside: it waits for the pointer
  platform.pointer = kOutsideAll;
  platform.advance(milliseconds(50));
  EXPECT_EQ(lines(), (Lines{"OUTSIDE_CLICK", "DRAG_ENTER", "DRAG_EXIT"}));
  EXPECT_FALSE(monitor->pollingTimerRunning());
}

TEST_F(IdlePollingTest, StopRemovesThePasteboardMonitorAndNothingStartsTheTimerAgain) {
  platform.tick();
  monitor->stop();
  EXPECT_EQ(platform.installedMonitorCount(), 0u);
  platform.beginPasteboardDrag(true);
  pressAt(kOutsideAll);  // no monitor is left to deliver it, but were one late:
  EXPECT_FALSE(monitor->pollingTimerRunning());
  EXPECT_EQ(platform.runningTimerCount(), 0u);
}

TEST(IdlePollingStartTest, InstallsThePasteboardMonitorOnlyWhereMonitorsSeeEveryPress) {
  for (const bool seesEveryPress : {false, true}) {
    FakePlatform platform;
    platform.seesEveryPress = seesEveryPress;
    auto monitor = DragDropzoneMonitor::create(exampleZones(), platform);
    monitor->start();
    Lines expected{"dragPasteboardChangeCount", "addGlobalMonitor 64", "addGlobalMonitor 33554442",
                   "addGlobalMonitor 4"};
    if (seesEveryPress) expected.push_back("addDragPasteboardChangeMonitor");
    expected.push_back("startRepeatingTimer 50000000");
    EXPECT_EQ(platform.calls, expected);
    // Where they do not (macOS), the timer runs whatever the state.
    platform.advance(milliseconds(200));
    EXPECT_EQ(monitor->pollingTimerRunning(), !seesEveryPress);
  }
}

}  // namespace
}  // namespace kestrovan::sidecar::testing
