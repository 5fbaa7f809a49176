// The whole program on the fake platform: start-up order, termination by
// SIGINT, SIGTERM and the parent's exit in every state, and the failure paths.
#include "core/run_sidecar.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <ostream>

#include "core/termination.h"
#include "test/fake_platform.h"
#include "test/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

const Lines kExampleArguments{"--tray-frame",    "100,800,200,30",     "--dropzone-frame",
                              "400,500,300,200", "--dropzone-padding", "20"};

TEST(RunSidecarTest, StartsUpInOrderAndPrintsNothing) {
  FakePlatform platform;
  EXPECT_EQ(runSidecar(kExampleArguments, platform), 0);  // the loop ran out by itself
  EXPECT_EQ(
      platform.calls,
      (Lines{"connectToWindowServer", "activateAsAccessory", "dragPasteboardChangeCount",
             "disableDefaultSignalAction 2", "disableDefaultSignalAction 15", "addSignalSource 2",
             "addSignalSource 15", "parentProcessId", "sendSignalOnParentExit 4242 15",
             "parentProcessId", "addGlobalMonitor 64", "addGlobalMonitor 33554442",
             "addGlobalMonitor 4", "startRepeatingTimer 50000000", "runMainLoop"}));
  EXPECT_TRUE(platform.outputWrites.empty());
  EXPECT_TRUE(platform.errorWrites.empty());
}

TEST(RunSidecarTest, NoWindowServerEndsWithStatus1AfterTheCommandLine) {
  FakePlatform platform;
  platform.connectFailure = "Cannot open the X display \":99\".";
  EXPECT_EQ(runSidecar(kExampleArguments, platform), 1);
  EXPECT_EQ(platform.errorWrites,
            Lines{"[KestrovanDragDropzone] Sidecar failed: Cannot open the X display \":99\".\n"});
  EXPECT_EQ(platform.calls, (Lines{"connectToWindowServer", "writeStandardError"}));
  EXPECT_TRUE(platform.outputWrites.empty());
}

// A parent that ended before the sidecar read it, or before its watch held:
// the sidecar would never hear of its end, so it ends at once, with status 0,
// before starting anything, and prints nothing.
struct GoneParentCase {
  const char* name;
  std::function<void(FakePlatform&)> setUp;
  Lines calls;

  friend void PrintTo(const GoneParentCase& c, std::ostream* out) { *out << c.name; }
};

const Lines kUpToTheSignalSources{"connectToWindowServer",
                                  "activateAsAccessory",
                                  "dragPasteboardChangeCount",
                                  "disableDefaultSignalAction 2",
                                  "disableDefaultSignalAction 15",
                                  "addSignalSource 2",
                                  "addSignalSource 15"};

Lines followedBy(Lines first, const Lines& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

class GoneParentTest : public ::testing::TestWithParam<GoneParentCase> {};

TEST_P(GoneParentTest, EndsAtOnceWithStatus0) {
  FakePlatform platform;
  GetParam().setUp(platform);
  EXPECT_EQ(runSidecar(kExampleArguments, platform), 0);
  EXPECT_EQ(platform.calls, GetParam().calls);
  EXPECT_EQ(platform.installedMonitorCount(), 0u);
  EXPECT_EQ(platform.runningTimerCount(), 0u);
  EXPECT_TRUE(platform.outputWrites.empty());
  EXPECT_TRUE(platform.errorWrites.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoneParentTest,
    ::testing::Values(
        GoneParentCase{"AdoptedBeforeItsStart",
                       [](FakePlatform& p) { p.parentPid = kOrphanAdopter; },
                       followedBy(kUpToTheSignalSources, {"parentProcessId"})},
        GoneParentCase{
            "EndedAsTheWatchWasSetUp", [](FakePlatform& p) { p.parentEndsAsWatched = true; },
            followedBy(kUpToTheSignalSources,
                       {"parentProcessId", "sendSignalOnParentExit 4242 15", "parentProcessId"})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunSidecarTest, OtherSignalsKeepTheirDefaultAction) {
  FakePlatform platform;
  platform.mainLoopScript = [&] { platform.deliverSignal(SIGHUP); };
  runSidecar(kExampleArguments, platform);
  EXPECT_EQ(platform.killedBySignal, SIGHUP);
}

// Scripts that bring the running sidecar into one of its states.
struct StateScript {
  const char* name;
  std::function<void(FakePlatform&)> reach;
  Lines outputBeforeSignal;
};

void reachInside(FakePlatform& p) {
  p.tick();
  p.beginPasteboardDrag(true);
  p.pointer = kOutsideAll;
  p.pressedButtons = 1;
  p.tick();
  p.pointer = kInTrigger;
  p.fireEvent(kLeftMouseDraggedMask);
}

const StateScript kStates[] = {
    {"Idle", [](FakePlatform& p) { p.advance(milliseconds(120)); }, {}},
    {"Pressed",
     [](FakePlatform& p) {
       p.pointer = kInTrigger;
       p.pressedButtons = 1;
       p.advance(milliseconds(60));
     },
     {}},
    {"InsideWhileDragging", reachInside, {"DRAG_ENTER\n"}},
    {"InsideAfterDropInRetention",
     [](FakePlatform& p) {
       reachInside(p);
       p.pointer = kInDropzoneFrameInsideRetention;
       p.pressedButtons = 0;
       p.fireEvent(kLeftMouseUpMask);
       p.tick();
     },
     {"DRAG_ENTER\n"}},
    {"AfterOutsideClick",
     [](FakePlatform& p) {
       p.pointer = kOutsideAll;
       p.fireEvent(kRightMouseDownMask);
     },
     {"OUTSIDE_CLICK\n"}},
};

// What ends the sidecar: SIGINT, SIGTERM, or the parent's death (which the
// sidecar asked to receive as SIGTERM).
struct Ending {
  const char* name;
  std::function<void(FakePlatform&)> happen;
};

const Ending kEndings[] = {
    {"SIGINT", [](FakePlatform& p) { p.deliverSignal(SIGINT); }},
    {"SIGTERM", [](FakePlatform& p) { p.deliverSignal(SIGTERM); }},
    {"ParentExit", [](FakePlatform& p) { p.parentExits(); }},
};

struct TerminationCase {
  const Ending* ending;
  const StateScript* state;

  friend void PrintTo(const TerminationCase& c, std::ostream* out) {
    *out << c.ending->name << " while " << c.state->name;
  }
};

class TerminationTest : public ::testing::TestWithParam<TerminationCase> {};

TEST_P(TerminationTest, StopsAndExitsWithStatus0PrintingNothingMore) {
  FakePlatform platform;
  platform.mainLoopScript = [&] {
    GetParam().state->reach(platform);
    ASSERT_EQ(platform.outputWrites, GetParam().state->outputBeforeSignal);
    platform.clearCalls();
    GetParam().ending->happen(platform);
    // Whatever would come next is never delivered to a gone process.
    platform.pointer = kOutsideAll;
    platform.pressedButtons = 0;
    platform.fireEvent(kLeftMouseUpMask | kLeftMouseDownMask);
    platform.advance(milliseconds(200));
  };
  EXPECT_EQ(runSidecar(kExampleArguments, platform), 0);
  EXPECT_FALSE(platform.killedBySignal.has_value());
  EXPECT_EQ(platform.calls, (Lines{"removeMonitor 1", "removeMonitor 2", "removeMonitor 3",
                                   "cancelTimer 4", "exitProcess 0"}));
  EXPECT_EQ(platform.outputWrites, GetParam().state->outputBeforeSignal);
  EXPECT_TRUE(platform.errorWrites.empty());
}

std::vector<TerminationCase> terminationCases() {
  std::vector<TerminationCase> cases;
  for (const Ending& ending : kEndings) {
    for (const StateScript& state : kStates) cases.push_back({&ending, &state});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(SignalsAndStates, TerminationTest, ::testing::ValuesIn(terminationCases()),
                         [](const auto& info) {
                           return std::string(info.param.ending->name) + "_" +
                                  info.param.state->name;
                         });

}  // namespace
}  // namespace kestrovan::sidecar::testing
