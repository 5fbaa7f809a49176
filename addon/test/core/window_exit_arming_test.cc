#include "drag/window_exit_arming.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_desktop.h"
#include "fakes/recorded_diagnostics.h"
#include "port/event.h"

namespace kestrovan {
namespace {

using port::event_type::kLeftMouseDragged;
using port::event_type::kLeftMouseUp;

// What became of one armed call.
struct CallRecord {
  int runs = 0;
  bool destroyed = false;
  bool destroyedBeforeRun = false;
  // windowExitEvent() as each run saw it.
  std::vector<port::EventPtr> exitEvents;
  // Done inside the run, after it is recorded.
  std::function<void()> duringRun;
};

class RecordingCall final : public WindowExitCall {
 public:
  explicit RecordingCall(std::shared_ptr<CallRecord> record) : record_(std::move(record)) {}
  ~RecordingCall() override {
    record_->destroyed = true;
    record_->destroyedBeforeRun = record_->runs == 0;
  }
  void run() override {
    ++record_->runs;
    record_->exitEvents.push_back(windowExitEvent());
    if (record_->duringRun) record_->duringRun();
  }

 private:
  std::shared_ptr<CallRecord> record_;
};

std::function<WindowExitCallPtr()> callRecordedIn(const std::shared_ptr<CallRecord>& record) {
  return [record] { return std::make_unique<RecordingCall>(record); };
}

int kOwnerA = 0;
int kOwnerB = 0;
const WindowExitOwner ownerA = &kOwnerA;
const WindowExitOwner ownerB = &kOwnerB;

// Window 101 at (100, 100), 800 x 600, key and main; window 102 beside it at
// (1000, 100), 400 x 300. The cursor at (400, 400) on screen, inside 101, with
// the left button held.
class WindowExitArming : public ::testing::Test {
 public:
  void SetUp() override {
    disarmWindowExit();
    fake::resetDesktop();
    fake::clearPlatformException();
    armed = fake::addWindow(101, {100, 100, 800, 600});
    other = fake::addWindow(102, {1000, 100, 400, 300});
    fake::setKeyWindow(armed);
    fake::setMainWindow(armed);
    fake::setMouseLocation({400, 400});
    fake::setPressedMouseButtons(1);
  }
  void TearDown() override {
    disarmWindowExit();
    fake::clearPlatformException();
  }

  // Arms with a fresh record for `owner`; answers the record.
  std::shared_ptr<CallRecord> arm(std::optional<int64_t> windowNumber = 101,
                                  WindowExitOwner owner = ownerA, bool* answer = nullptr) {
    auto record = std::make_shared<CallRecord>();
    const bool armedNow = armWindowExit(windowNumber, owner, callRecordedIn(record));
    if (answer) *answer = armedNow;
    return record;
  }

  // Which window a table case's event belongs to.
  enum class Of { kArmed, kArmedWithoutContentView, kOther, kNoWindow };
  port::WindowPtr windowOf(Of which) {
    switch (which) {
      case Of::kArmed:
        return armed;
      case Of::kArmedWithoutContentView:
        armed->setContentView(nullptr);
        return armed;
      case Of::kOther:
        return other;
      case Of::kNoWindow:
        break;
    }
    return nullptr;
  }

  static port::EventPtr dragged(const port::WindowPtr& window, port::Point at) {
    return fake::makeEvent(kLeftMouseDragged, window, at);
  }

  // Delivers `event` and checks the monitors let it through unchanged.
  static void deliverPassing(const port::EventPtr& event) {
    port::EventPtr out = fake::deliver(event);
    EXPECT_TRUE(port::sameObject(out, event)) << "the event is let through, unchanged";
  }

  fake::FakeWindowPtr armed;
  fake::FakeWindowPtr other;
  // The arming a table case acts on.
  std::shared_ptr<CallRecord> current;
};

TEST_F(WindowExitArming, ArmingInsideWatchesLeftUpAndLeftDraggedWithOneMonitor) {
  bool answer = false;
  auto record = arm(101, ownerA, &answer);
  EXPECT_TRUE(answer);
  ASSERT_EQ(fake::monitors().size(), 1u);
  EXPECT_EQ(fake::monitors()[0].mask, 0x44u);
  EXPECT_EQ(fake::installedMonitorCount(), 1u);
  EXPECT_EQ(record->runs, 0);
  EXPECT_FALSE(record->destroyed);
  EXPECT_EQ(windowExitEvent(), nullptr);
}

// [name, the event's window, its location in that window, whether it fires
// the arming]. The content view of window 101 covers (0, 0) to (800, 600) in
// its window's coordinates.
TEST_F(WindowExitArming, FiresOnceOnTheFirstLeftDragOutsideTheArmedContentView) {
  struct Case {
    const char* name;
    Of window;
    port::Point at;
    bool fires;
  };
  const std::vector<Case> cases = {
      {"inside", Of::kArmed, {300, 250}, false},
      {"on the minimum corner", Of::kArmed, {0, 0}, false},
      {"just inside the maximum corner", Of::kArmed, {799.9, 599.9}, false},
      {"on the maximum X edge", Of::kArmed, {800, 300}, true},
      {"on the maximum Y edge", Of::kArmed, {300, 600}, true},
      {"left of the view", Of::kArmed, {-0.5, 300}, true},
      {"below the view", Of::kArmed, {300, -20}, true},
      {"the armed window, once its content view is gone",
       Of::kArmedWithoutContentView,
       {300, 250},
       true},
      {"another window, outside its own view", Of::kOther, {-50, -50}, false},
      {"another window, where the armed one's outside would be", Of::kOther, {900, 300}, false},
      {"an event of no window", Of::kNoWindow, {-50, -50}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    auto record = arm();
    port::EventPtr event = dragged(windowOf(c.window), c.at);
    deliverPassing(event);
    if (!c.fires) {
      EXPECT_EQ(record->runs, 0);
      EXPECT_FALSE(record->destroyed);
      EXPECT_EQ(fake::installedMonitorCount(), 1u);
      continue;
    }
    ASSERT_EQ(record->runs, 1);
    EXPECT_TRUE(port::sameObject(record->exitEvents[0], event))
        << "the firing event while the call runs";
    EXPECT_EQ(windowExitEvent(), nullptr) << "and none after";
    EXPECT_TRUE(record->destroyed) << "the call goes when its run ends";
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    EXPECT_EQ(fake::monitors()[0].removals, 1);
    deliverPassing(dragged(armed, {-100, 300}));
    EXPECT_EQ(record->runs, 1) << "one-shot";
  }
}

TEST_F(WindowExitArming, FiresForTheWindowItResolvedAndNoOther) {
  // [name, window number asked for, key window, main window, the window that fires].
  struct Case {
    const char* name;
    std::optional<int64_t> windowNumber;
    bool keyIsOther;
    bool hasKey;
    bool hasMain;
    int64_t firing;
  };
  const std::vector<Case> cases = {
      {"the window of the number", 102, false, true, true, 102},
      {"a number that resolves nothing: the key window", 999, true, true, true, 102},
      {"no number: the key window", std::nullopt, true, true, true, 102},
      {"no key window: the main window", 999, false, false, true, 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    fake::setKeyWindow(c.hasKey ? (c.keyIsOther ? other : armed) : nullptr);
    fake::setMainWindow(c.hasMain ? armed : nullptr);
    // The cursor inside the window that is armed, so that a monitor watches.
    fake::setMouseLocation(c.firing == 102 ? port::Point{1100, 200} : port::Point{400, 400});
    auto record = arm(c.windowNumber);
    ASSERT_EQ(fake::installedMonitorCount(), 1u);
    const fake::FakeWindowPtr& firing = c.firing == 102 ? other : armed;
    const fake::FakeWindowPtr& notFiring = c.firing == 102 ? armed : other;
    deliverPassing(dragged(notFiring, {-10, -10}));
    EXPECT_EQ(record->runs, 0);
    deliverPassing(dragged(firing, {-10, -10}));
    EXPECT_EQ(record->runs, 1);
  }
}

// [name, setup]: false, nothing armed, and the earlier arming gone anyway.
TEST_F(WindowExitArming, RefusalsArmNothingAndCancelTheEarlierArming) {
  struct Case {
    const char* name;
    std::function<void(WindowExitArming&)> setup;
    std::optional<int64_t> windowNumber;
    bool callAsked;
  };
  const std::vector<Case> cases = {
      {"no shared application", [](auto&) { fake::setApplicationPresent(false); }, 101, false},
      {"no window at all",
       [](auto&) {
         fake::setKeyWindow(nullptr);
         fake::setMainWindow(nullptr);
       },
       999, false},
      {"a window without a content view", [](auto& t) { t.armed->setContentView(nullptr); }, 101,
       false},
      {"the left button up", [](auto&) { fake::setPressedMouseButtons(0); }, 101, false},
      {"only the right button held", [](auto&) { fake::setPressedMouseButtons(2); }, 101, false},
      {"no call made", [](auto&) {}, 101, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    auto earlier = arm();
    ASSERT_EQ(fake::installedMonitorCount(), 1u);
    c.setup(*this);
    int asked = 0;
    const bool answer = armWindowExit(c.windowNumber, ownerB, [&]() -> WindowExitCallPtr {
      ++asked;
      return nullptr;
    });
    EXPECT_FALSE(answer);
    EXPECT_EQ(asked, c.callAsked ? 1 : 0);
    EXPECT_TRUE(earlier->destroyedBeforeRun) << "the earlier arming is cancelled";
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    EXPECT_EQ(fake::monitors().size(), 1u) << "no monitor for the refused arming";
    EXPECT_EQ(fake::monitors()[0].removals, 1);
  }
}

// [name, the release's window, its location]: no run, the monitor gone, and
// a later drag out does nothing.
TEST_F(WindowExitArming, ALeftMouseUpAnywhereDisarmsWithoutCalling) {
  struct Case {
    const char* name;
    Of window;
    port::Point at;
  };
  const std::vector<Case> cases = {
      {"inside the armed window", Of::kArmed, {300, 250}},
      {"outside the armed window's content view", Of::kArmed, {-30, 250}},
      {"in another window", Of::kOther, {10, 10}},
      {"of no window", Of::kNoWindow, {10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    auto record = arm();
    deliverPassing(fake::makeEvent(kLeftMouseUp, windowOf(c.window), c.at));
    EXPECT_TRUE(record->destroyedBeforeRun);
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    EXPECT_EQ(fake::monitors()[0].removals, 1);
    deliverPassing(dragged(armed, {-100, 300}));
    EXPECT_EQ(record->runs, 0);
  }
}

TEST_F(WindowExitArming, AlreadyOutsideRunsBeforeArmingReturnsWithNoExitEvent) {
  fake::setMouseLocation({50, 50});
  bool answer = false;
  bool ranBeforeReturn = false;
  auto record = std::make_shared<CallRecord>();
  record->duringRun = [&] { ranBeforeReturn = true; };
  answer = armWindowExit(101, ownerA, callRecordedIn(record));
  EXPECT_TRUE(answer);
  EXPECT_TRUE(ranBeforeReturn);
  ASSERT_EQ(record->runs, 1);
  EXPECT_EQ(record->exitEvents[0], nullptr) << "no exit event for a firing during arming";
  EXPECT_TRUE(record->destroyed);
  EXPECT_TRUE(fake::monitors().empty()) << "nothing watches";
  disarmWindowExitOf(ownerA);
  EXPECT_EQ(fake::strayMonitorRemovals(), 0);
}

TEST_F(WindowExitArming, ACallFiredDuringArmingInsideAFiringSeesNoExitEvent) {
  auto inner = std::make_shared<CallRecord>();
  auto outer = arm();
  outer->duringRun = [&] {
    fake::setMouseLocation({50, 50});
    EXPECT_TRUE(armWindowExit(101, ownerA, callRecordedIn(inner)));
  };
  deliverPassing(dragged(armed, {-50, 300}));
  ASSERT_EQ(outer->runs, 1);
  EXPECT_NE(outer->exitEvents[0], nullptr);
  ASSERT_EQ(inner->runs, 1);
  EXPECT_EQ(inner->exitEvents[0], nullptr);
  EXPECT_EQ(windowExitEvent(), nullptr);
  EXPECT_EQ(fake::installedMonitorCount(), 0u);
}

TEST_F(WindowExitArming, ReArmingFromInsideTheCallKeepsTheNewArming) {
  auto second = std::make_shared<CallRecord>();
  auto first = arm();
  first->duringRun = [&] {
    // The cursor is back inside when the page arms again.
    EXPECT_TRUE(armWindowExit(101, ownerA, callRecordedIn(second)));
    EXPECT_FALSE(second->destroyed);
  };
  deliverPassing(dragged(armed, {-50, 300}));
  ASSERT_EQ(first->runs, 1);
  EXPECT_TRUE(first->destroyed);
  EXPECT_FALSE(second->destroyed) << "the end of the first firing leaves the new arming";
  ASSERT_EQ(fake::monitors().size(), 2u);
  EXPECT_EQ(fake::monitors()[0].removals, 1);
  EXPECT_EQ(fake::monitors()[1].removals, 0);
  EXPECT_EQ(fake::installedMonitorCount(), 1u);

  deliverPassing(dragged(armed, {-60, 300}));
  EXPECT_EQ(first->runs, 1);
  EXPECT_EQ(second->runs, 1);
  EXPECT_EQ(fake::strayMonitorRemovals(), 0);
}

// [name, what ends the arming]: removeMonitor: exactly once with its token,
// never with another one, whatever follows.
TEST_F(WindowExitArming, TheMonitorIsRemovedExactlyOnce) {
  struct Case {
    const char* name;
    std::function<void(WindowExitArming&)> steps;
  };
  const std::vector<Case> cases = {
      {"disarmed twice",
       [](auto&) {
         disarmWindowExit();
         disarmWindowExit();
       }},
      {"released, then disarmed",
       [](auto& t) {
         fake::deliver(fake::makeEvent(kLeftMouseUp, t.armed, {1, 1}));
         disarmWindowExit();
       }},
      {"fired, then released and disarmed",
       [](auto& t) {
         fake::deliver(dragged(t.armed, {-1, 1}));
         fake::deliver(fake::makeEvent(kLeftMouseUp, t.armed, {1, 1}));
         disarmWindowExit();
       }},
      {"fired, disarming from inside the call",
       [](auto& t) {
         t.current->duringRun = [] { disarmWindowExit(); };
         fake::deliver(dragged(t.armed, {-1, 1}));
         disarmWindowExit();
       }},
      {"its owner ended, twice",
       [](auto&) {
         disarmWindowExitOf(ownerA);
         disarmWindowExitOf(ownerA);
       }},
      {"armed again over it",
       [](auto& t) {
         t.arm();
         disarmWindowExit();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    current = arm();
    c.steps(*this);
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    for (const fake::RecordedMonitor& monitor : fake::monitors()) EXPECT_EQ(monitor.removals, 1);
    EXPECT_EQ(fake::strayMonitorRemovals(), 0);
  }
}

TEST_F(WindowExitArming, AnOwnersEndDisarmsOnlyItsOwnArming) {
  auto record = arm(101, ownerA);
  disarmWindowExitOf(ownerB);
  EXPECT_FALSE(record->destroyed) << "another owner's end leaves the arming";
  EXPECT_EQ(fake::installedMonitorCount(), 1u);

  disarmWindowExitOf(ownerA);
  EXPECT_TRUE(record->destroyedBeforeRun);
  EXPECT_EQ(fake::installedMonitorCount(), 0u);
  deliverPassing(dragged(armed, {-50, 300}));
  EXPECT_EQ(record->runs, 0);

  // An arming made again by the other owner stays when the first one ends.
  auto again = arm(101, ownerB);
  disarmWindowExitOf(ownerA);
  EXPECT_FALSE(again->destroyed);
  deliverPassing(dragged(armed, {-50, 300}));
  EXPECT_EQ(again->runs, 1);
}

// [name, whether AppKit gave a token anyway]: false, nothing armed, nothing
// called, the exception left for the caller.
TEST_F(WindowExitArming, AppKitRaisingWhileAddingTheMonitorLeavesNothingArmed) {
  for (const bool tokenAnyway : {false, true}) {
    SCOPED_TRACE(tokenAnyway ? "with a token" : "without a token");
    SetUp();
    fake::raiseOnNextAddMonitor({"NSInternalInconsistencyException", "monitor refused"},
                                tokenAnyway);
    bool answer = true;
    auto record = arm(101, ownerA, &answer);
    EXPECT_FALSE(answer);
    EXPECT_TRUE(record->destroyedBeforeRun);
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    if (tokenAnyway) {
      EXPECT_EQ(fake::monitors()[0].removals, 1);
    }
    EXPECT_TRUE(port::platformExceptionPending()) << "the caller reports it";
    deliverPassing(dragged(armed, {-50, 300}));
    disarmWindowExitOf(ownerA);
    EXPECT_EQ(record->runs, 0);
    EXPECT_EQ(fake::strayMonitorRemovals(), 0);
  }
}

TEST_F(WindowExitArming, NoTokenFromAppKitLeavesTheCallArmedUntilTheNextArmingOrDisarm) {
  for (const bool byArming : {false, true}) {
    SCOPED_TRACE(byArming ? "armed again" : "disarmed");
    SetUp();
    fake::giveNoTokenOnNextAddMonitor();
    bool answer = false;
    auto record = arm(101, ownerA, &answer);
    EXPECT_TRUE(answer);
    EXPECT_FALSE(record->destroyed);
    EXPECT_EQ(fake::installedMonitorCount(), 0u);
    if (byArming) {
      arm();
    } else {
      disarmWindowExit();
    }
    EXPECT_TRUE(record->destroyedBeforeRun);
    EXPECT_EQ(fake::strayMonitorRemovals(), 0) << "no token, nothing to remove";
  }
}

// The drag start disarms while the call runs: the firing event stays readable
// for the rest of the call, and an arming made earlier in the call is gone.
TEST_F(WindowExitArming, TheDragStartsDisarmInsideTheCall) {
  auto rearmed = std::make_shared<CallRecord>();
  port::EventPtr seenAfterDisarm;
  auto record = arm();
  record->duringRun = [&] {
    EXPECT_TRUE(armWindowExit(101, ownerA, callRecordedIn(rearmed)));
    disarmWindowExit();
    seenAfterDisarm = windowExitEvent();
  };
  port::EventPtr crossing = dragged(armed, {-50, 300});
  deliverPassing(crossing);
  EXPECT_TRUE(port::sameObject(seenAfterDisarm, crossing));
  EXPECT_TRUE(rearmed->destroyedBeforeRun);
  EXPECT_EQ(fake::installedMonitorCount(), 0u);
  for (const fake::RecordedMonitor& monitor : fake::monitors()) EXPECT_EQ(monitor.removals, 1);
  deliverPassing(dragged(armed, {-60, 300}));
  EXPECT_EQ(rearmed->runs, 0);
}

}  // namespace
}  // namespace kestrovan
