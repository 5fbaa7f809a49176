// The sidecar as a separate process, seen from outside as the host
// application sees it: its command line without a display, and its output
// under a private Xvfb, driven by xdotool (XTEST) and a drag source fixture
// that owns XdndSelection.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/output_signals.h"
#include "core/zones.h"
#include "test/e2e/child_process.h"
#include "test/e2e/primary_monitor.h"
#include "test/e2e/xvfb_server.h"
#include "test/point_places.h"

namespace kestrovan::sidecar::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kSidecar = KESTROVAN_SIDECAR_PATH;
const std::string kFixture = KESTROVAN_DRAG_SOURCE_FIXTURE_PATH;
const std::string kOrphanLauncher = KESTROVAN_ORPHAN_LAUNCHER_FIXTURE_PATH;
const std::string kFailed = "[KestrovanDragDropzone] Sidecar failed: ";

// Waits for lines that must come, and for silence that must hold.
constexpr Milliseconds kLineTimeout = 3000ms;
constexpr Milliseconds kQuiet = 300ms;
// A little over two polling ticks: enough for the sidecar to sample a press.
constexpr Milliseconds kTwoTicks = 120ms;

using Clock = std::chrono::steady_clock;

// Loose bounds: what they catch is a hang or a stalled loop, not a figure.
constexpr Milliseconds kExitBound = 1000ms;
constexpr Milliseconds kPrompt = 1000ms;

Milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
}

int exitCode(std::optional<int> status) {
  if (!status) return -1000;
  if (WIFSIGNALED(*status)) return -WTERMSIG(*status);
  return WEXITSTATUS(*status);
}

// ---------------------------------------------------------------- no display

struct CommandLineCase {
  std::vector<std::string> arguments;
  std::string line;
  int status;

  friend void PrintTo(const CommandLineCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.arguments);
  }
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, FailsWithOneLineOnStandardErrorAndNothingOnStandardOutput) {
  std::vector<std::string> argv{kSidecar};
  argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  ChildProcess sidecar(argv, {{"DISPLAY", std::nullopt},
                              {"WAYLAND_DISPLAY", std::nullopt},
                              {"XDG_SESSION_TYPE", std::nullopt}});
  sidecar.closeInput();
  EXPECT_EQ(exitCode(sidecar.waitForExit(5000ms)), GetParam().status);
  EXPECT_EQ(sidecar.readToEnd(1000ms), "");
  EXPECT_EQ(sidecar.readAllErrors(1000ms), kFailed + GetParam().line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTest,
    ::testing::Values(
        CommandLineCase{{}, "Missing --tray-frame x,y,width,height.", 2},
        CommandLineCase{{"--zone-size", "10"}, "Missing --tray-frame x,y,width,height.", 2},
        CommandLineCase{{"--tray-frame"}, "Missing value for --tray-frame.", 2},
        CommandLineCase{
            {"--tray-frame", "1,2,3"}, "Expected rect as x,y,width,height, received 1,2,3.", 2},
        CommandLineCase{{"--tray-frame", "1, 2,3,4"}, "Expected a number, received  2.", 2},
        CommandLineCase{{"--zone-size", "--tray-frame", "1,2,3,4"},
                        "Expected a number, received --tray-frame.",
                        2},
        // A value's control characters are escaped: the line stays one line.
        CommandLineCase{{"--tray-frame", "1,2\n,3,4"}, "Expected a number, received 2\\n.", 2},
        CommandLineCase{{"--tray-frame", "1,2,3,4\r\nDRAG_ENTER"},
                        "Expected a number, received 4\\r\\nDRAG_ENTER.",
                        2},
        CommandLineCase{{"--tray-frame", "1,2,3,4", "--dropzone-padding", "1e999x"},
                        "Expected a number, received 1e999x.",
                        2},
        // A good command line without a display fails only then, with status 1.
        CommandLineCase{{"--tray-frame", "100,700,200,30"},
                        "Cannot open the X display: DISPLAY is not set.",
                        1}));

TEST(NoDisplayTest, UnreachableDisplayEndsWithStatus1) {
  ChildProcess sidecar({kSidecar, "--tray-frame", "100,700,200,30"},
                       {{"DISPLAY", ":54321"},
                        {"XDG_SESSION_TYPE", std::nullopt},
                        {"WAYLAND_DISPLAY", std::nullopt}});
  sidecar.closeInput();
  EXPECT_EQ(exitCode(sidecar.waitForExit(5000ms)), 1);
  EXPECT_EQ(sidecar.readToEnd(1000ms), "");
  EXPECT_EQ(sidecar.readAllErrors(1000ms), kFailed + "Cannot open the X display \":54321\".\n");
}

// ---------------------------------------------------------------- under Xvfb

// Screen points in the sidecar's y-up space on the 1280x800 screen, for the
// tray frame 100,700,200,30 and the dropzone frame 400,300,300,200 with the
// default padding of 20:
//   triggerZone      x 150..250, y 600..700
//   retentionZone    x 150..720, y 280..700
//   clickAllowedZone x 100..700, y 300..730
// Each is named for what it lies in (NamedPointsTest checks every one).
struct Point {
  int x;
  int y;
};
constexpr Point kInTrigger{200, 650};                       // so also retention and click-allowed
constexpr Point kInTriggerToo{230, 620};                    // likewise
constexpr Point kInDropzoneFrameInsideRetention{600, 400};  // and click-allowed
constexpr Point kInDropzonePaddingOutsideClickAllowed{710, 400};  // retention only
constexpr Point kOnTrayOutsideRetention{200, 715};                // click-allowed only
constexpr Point kOutsideAll{1100, 100};
constexpr Point kDragStartOutsideAll{1000, 650};

struct NamedPointCase {
  const char* name;
  Point point;
  const char* places;

  friend std::ostream& operator<<(std::ostream& out, const NamedPointCase& c) {
    return out << c.name << " (" << c.point.x << "," << c.point.y << ")";
  }
};

class NamedPointsTest : public ::testing::TestWithParam<NamedPointCase> {};

// The points lie where their names say, by the zones the program computes
// from the tests' command line.
TEST_P(NamedPointsTest, LiesWhereItsNameSays) {
  const NamedPointCase& c = GetParam();
  constexpr Rect kTrayFrame{100, 700, 200, 30};
  constexpr Rect kDropzoneFrame{400, 300, 300, 200};
  SidecarSettings settings;
  settings.trayFrame = kTrayFrame;
  settings.dropzoneFrame = kDropzoneFrame;
  const ScreenPoint point{static_cast<double>(c.point.x), static_cast<double>(c.point.y)};
  EXPECT_EQ(testing::placesOf(point, computeZones(settings), kTrayFrame, kDropzoneFrame), c.places)
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    UnderXvfb, NamedPointsTest,
    ::testing::Values(
        NamedPointCase{"kInTrigger", kInTrigger, "trigger, retention, click-allowed"},
        NamedPointCase{"kInTriggerToo", kInTriggerToo, "trigger, retention, click-allowed"},
        NamedPointCase{"kInDropzoneFrameInsideRetention", kInDropzoneFrameInsideRetention,
                       "retention, click-allowed, dropzone frame"},
        NamedPointCase{"kInDropzonePaddingOutsideClickAllowed",
                       kInDropzonePaddingOutsideClickAllowed, "retention"},
        NamedPointCase{"kOnTrayOutsideRetention", kOnTrayOutsideRetention, "click-allowed, tray"},
        NamedPointCase{"kOutsideAll", kOutsideAll, "nothing"},
        NamedPointCase{"kDragStartOutsideAll", kDragStartOutsideAll, "nothing"}),
    [](const ::testing::TestParamInfo<NamedPointCase>& info) {
      return std::string(info.param.name);
    });

// A rectangle in X's root coordinates (y down).
struct Area {
  int x;
  int y;
  int width;
  int height;
};

// Started by the first test that needs it, stopped after the last test.
std::unique_ptr<XvfbServer>& serverSlot() {
  static std::unique_ptr<XvfbServer> server;
  return server;
}
XvfbServer& xserver() {
  if (!serverSlot()) serverSlot() = std::make_unique<XvfbServer>();
  return *serverSlot();
}
// A root window taller than its primary monitor, as with two screens.
constexpr int kTallWidth = 1920;
constexpr int kTallHeight = 1440;
std::unique_ptr<XvfbServer>& tallServerSlot() {
  static std::unique_ptr<XvfbServer> server;
  return server;
}
XvfbServer& tallServer() {
  if (!tallServerSlot()) tallServerSlot() = std::make_unique<XvfbServer>(kTallWidth, kTallHeight);
  return *tallServerSlot();
}
// Two screens joined by Xinerama: a 1280 × 800 first head and a 1600 × 1200
// second one, both at the root's origin, so the root is 1600 × 1200.
std::unique_ptr<XvfbServer>& xineramaServerSlot() {
  static std::unique_ptr<XvfbServer> server;
  return server;
}
XvfbServer& xineramaServer() {
  if (!xineramaServerSlot()) {
    xineramaServerSlot() = XvfbServer::withXinerama({{1280, 800}, {1600, 1200}});
  }
  return *xineramaServerSlot();
}
class XvfbEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    serverSlot().reset();
    tallServerSlot().reset();
    xineramaServerSlot().reset();
  }
};
[[maybe_unused]] ::testing::Environment* const kXvfbEnvironment =
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

class SidecarUnderXvfbTest : public ::testing::Test {
 protected:
  virtual XvfbServer& server() { return xserver(); }

  // Where the sidecar's origin lies: the lower-left corner of the primary
  // monitor (by default the whole root window).
  std::optional<Area> primary;
  Area primaryArea() {
    return primary ? *primary : Area{0, 0, server().width(), server().height()};
  }
  // A point of the sidecar's space in X's root coordinates.
  std::pair<int, int> inX(Point p) {
    const Area area = primaryArea();
    return {area.x + p.x, area.y + area.height - p.y};
  }

  EnvironmentChanges environment(const EnvironmentChanges& extra = {}) {
    EnvironmentChanges changes{{"DISPLAY", server().display()},
                               {"XDG_SESSION_TYPE", std::nullopt},
                               {"WAYLAND_DISPLAY", std::nullopt}};
    for (const auto& [name, value] : extra) changes[name] = value;
    return changes;
  }

  // Runs one xdotool command chain to its end.
  void xdotool(std::vector<std::string> words) {
    words.insert(words.begin(), "/usr/bin/xdotool");
    ASSERT_EQ(exitCode(runToEnd(words, 5000ms, environment())), 0) << words[1];
  }
  std::vector<std::string> moveTo(Point p) {
    const auto [x, y] = inX(p);
    return {"mousemove", std::to_string(x), std::to_string(y)};
  }
  void move(Point p) { xdotool(moveTo(p)); }

  void startSidecar(const EnvironmentChanges& extra = {}) {
    move(kOutsideAll);
    sidecar = std::make_unique<ChildProcess>(
        std::vector<std::string>{kSidecar, "--tray-frame", "100,700,200,30", "--dropzone-frame",
                                 "400,300,300,200"},
        environment(extra));
    // Nothing is printed at start-up; the sidecar is listening once an outside
    // click comes back. A click before its monitors are installed is lost, so
    // retry; a retry can leave a second, late answer, which is drained here.
    for (int attempt = 0; attempt < 25; ++attempt) {
      xdotool({"click", "1"});
      if (const auto line = sidecar->readLine(200ms)) {
        ASSERT_EQ(*line, "OUTSIDE_CLICK");
        if (attempt > 0) {
          const std::string late = sidecar->readFor(kQuiet);
          ASSERT_TRUE(late.empty() || late == "OUTSIDE_CLICK\n") << late;
        }
        return;
      }
    }
    FAIL() << "the sidecar never reported an outside click";
  }

  std::unique_ptr<ChildProcess> startSource(const std::string& offer,
                                            const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv{kFixture, "--offer", offer};
    argv.insert(argv.end(), options.begin(), options.end());
    auto source = std::make_unique<ChildProcess>(argv, environment());
    EXPECT_EQ(source->readLine(5000ms), "OWNED");
    return source;
  }

  // Presses at the drag start (an outside click, as drags from other
  // applications start outside the tray), then a source takes XdndSelection.
  std::unique_ptr<ChildProcess> beginDrag(const std::string& offer,
                                          const std::vector<std::string>& options = {}) {
    move(kDragStartOutsideAll);
    xdotool({"mousedown", "1"});
    EXPECT_EQ(sidecar->readLine(kLineTimeout), "OUTSIDE_CLICK");
    auto source = startSource(offer, options);
    std::this_thread::sleep_for(kTwoTicks);  // the polling start point is sampled here
    return source;
  }

  // Moves into the trigger zone during a file drag. Should the sidecar have
  // sampled the press late (a loaded machine), its start point is already in
  // the zone and a further move of more than 6 points starts the drag.
  void enterTrigger() {
    move(kInTrigger);
    std::optional<std::string> line = sidecar->readLine(500ms);
    if (!line) {
      move(kInTriggerToo);
      line = sidecar->readLine(kLineTimeout);
    }
    EXPECT_EQ(line, "DRAG_ENTER");
  }

  void expectLine(const char* expected) { EXPECT_EQ(sidecar->readLine(kLineTimeout), expected); }
  void expectQuiet() { EXPECT_EQ(sidecar->readFor(kQuiet), ""); }

  void TearDown() override {
    if (!sidecar) return;
    // Leave the button up for the next test.
    runToEnd({"/usr/bin/xdotool", "mouseup", "1"}, 5000ms, environment());
  }

  std::unique_ptr<ChildProcess> sidecar;
};

TEST_F(SidecarUnderXvfbTest, FileDragEntersOnceStaysInRetentionAndExitsOnce) {
  startSidecar();
  auto source = beginDrag("files");
  source->writeLine("grab");  // as a dragging source does; raw events still arrive
  ASSERT_EQ(source->readLine(5000ms), "GRABBED");
  move(kInDropzoneFrameInsideRetention);  // crossing retention without the trigger: nothing
  expectQuiet();
  enterTrigger();
  move(kInTriggerToo);
  move(kInDropzoneFrameInsideRetention);
  expectQuiet();
  move(kInTrigger);
  expectQuiet();
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
  move(kDragStartOutsideAll);
  expectQuiet();
}

TEST_F(SidecarUnderXvfbTest, ReleaseOutsideRetentionExitsOnce) {
  startSidecar();
  auto source = beginDrag("files");
  enterTrigger();
  std::vector<std::string> chain = moveTo(kOutsideAll);
  chain.insert(chain.end(), {"mouseup", "1"});
  xdotool(chain);
  expectLine("DRAG_EXIT");
  expectQuiet();
}

TEST_F(SidecarUnderXvfbTest, DropInsideRetentionStaysInsideUntilThePointerLeaves) {
  startSidecar();
  auto source = beginDrag("files");
  enterTrigger();
  move(kInDropzoneFrameInsideRetention);
  xdotool({"mouseup", "1"});
  expectQuiet();
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
}

TEST_F(SidecarUnderXvfbTest, TextOnlyDragGivesNothing) {
  startSidecar();
  auto source = beginDrag("text");
  move(kInTrigger);
  expectQuiet();
  move(kInTriggerToo);
  expectQuiet();
  move(kOutsideAll);
  xdotool({"mouseup", "1"});
  expectQuiet();
  // Still listening: the next line is this click's.
  xdotool({"click", "1"});
  expectLine("OUTSIDE_CLICK");
}

// A drag of promised files (Mail, Photos, Safari) offers no file URI, only the
// promise's type: it is a file drag all the same.
TEST_F(SidecarUnderXvfbTest, PromisedFilesDragEntersAndExits) {
  startSidecar();
  auto source = beginDrag("promise");
  source->writeLine("grab");
  ASSERT_EQ(source->readLine(5000ms), "GRABBED");
  enterTrigger();
  move(kInDropzoneFrameInsideRetention);
  expectQuiet();
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
}

TEST_F(SidecarUnderXvfbTest, StaleSelectionGivesNothingUntilANewDrag) {
  auto stale = startSource("files");  // owned before the sidecar starts
  startSidecar();
  move(kDragStartOutsideAll);
  xdotool({"mousedown", "1"});
  expectLine("OUTSIDE_CLICK");
  std::this_thread::sleep_for(kTwoTicks);
  move(kInTrigger);
  expectQuiet();
  move(kInTriggerToo);
  expectQuiet();
  // The same owner taking the selection again is a new drag.
  stale->writeLine("own");
  ASSERT_EQ(stale->readLine(5000ms), "OWNED");
  enterTrigger();
}

TEST_F(SidecarUnderXvfbTest, EveryPressOutsideClickAllowedIsAnOutsideClick) {
  startSidecar();
  xdotool({"click", "1"});
  xdotool({"click", "3"});
  xdotool({"click", "2"});
  xdotool({"click", "1"});
  for (int i = 0; i < 4; ++i) expectLine("OUTSIDE_CLICK");
  xdotool({"click", "4"});  // the wheel is no press
  xdotool({"click", "5"});
  move(kOnTrayOutsideRetention);
  xdotool({"click", "1"});
  move(kInDropzoneFrameInsideRetention);
  xdotool({"click", "3"});
  expectQuiet();
}

TEST_F(SidecarUnderXvfbTest, OutsideClickDuringADragEndsItAndTheDragEntersAgain) {
  startSidecar();
  auto source = beginDrag("files");
  enterTrigger();
  move(kInDropzonePaddingOutsideClickAllowed);
  expectQuiet();
  xdotool({"click", "3"});
  expectLine("OUTSIDE_CLICK");
  enterTrigger();
}

// Toolkits differ in the time they answer a conversion of XdndSelection at:
// Qt 5 only at its own selection timestamp, others only at CurrentTime. Each
// refuses the other with a SelectionNotify whose target and property are None.
struct AnswerTimeCase {
  const char* name;
  const char* answerAt;
  // Conversion requests the file drag costs: asked at the owner's timestamp
  // first, and at CurrentTime only after a refusal. Had a refusal been taken
  // for silence, asking would stop after one request and a 100 ms wait, and
  // the drag would never enter.
  int requests;
};

void PrintTo(const AnswerTimeCase& c, std::ostream* out) { *out << c.name; }

class AnswerTimeTest : public SidecarUnderXvfbTest,
                       public ::testing::WithParamInterface<AnswerTimeCase> {};

TEST_P(AnswerTimeTest, FileDragEntersAndARefusalIsAnAnswer) {
  startSidecar();
  auto source = beginDrag("files", {"--answer-at", GetParam().answerAt});
  const Clock::time_point moved = Clock::now();
  enterTrigger();
  std::cout << "[ measured ] DRAG_ENTER " << since(moved).count() << " ms after the move began\n";
  std::this_thread::sleep_for(kTwoTicks);
  source->writeLine("requests");
  EXPECT_EQ(source->readLine(5000ms), "REQUESTS " + std::to_string(GetParam().requests));
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
}

INSTANTIATE_TEST_SUITE_P(Toolkits, AnswerTimeTest,
                         ::testing::Values(AnswerTimeCase{"OwnerTimestampOnly", "owner-time", 1},
                                           AnswerTimeCase{"CurrentTimeOnly", "current-time", 2},
                                           AnswerTimeCase{"AnyTime", "any", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SidecarUnderXvfbTest, PressHeldBeforeStartThenMovedOnePointIntoTheZoneEnters) {
  // A narrow tray frame: the click-allowed zone is no wider than the trigger
  // zone (x 150..250, y 600..700), so a right click just left of it is an
  // outside click that says the sidecar is listening.
  constexpr Point kBesideTrigger{149, 650};
  constexpr Point kTriggerEdge{150, 650};
  move(kBesideTrigger);
  xdotool({"mousedown", "1"});
  sidecar = std::make_unique<ChildProcess>(
      std::vector<std::string>{kSidecar, "--tray-frame", "195,700,10,30"}, environment());
  bool listening = false;
  for (int attempt = 0; attempt < 25 && !listening; ++attempt) {
    xdotool({"click", "3"});
    listening = sidecar->readLine(200ms) == "OUTSIDE_CLICK";
  }
  ASSERT_TRUE(listening) << "the sidecar never reported an outside click";
  sidecar->readFor(kQuiet);  // a late answer to a retried click
  auto source = startSource("files");
  std::this_thread::sleep_for(kTwoTicks);
  // One point is far below the polling fallback's 6-point threshold: only the
  // raw motion of the held press can enter.
  const auto [x, y] = inX(kTriggerEdge);
  source->writeLine("move " + std::to_string(x) + " " + std::to_string(y));
  ASSERT_EQ(source->readLine(5000ms), "MOVED");
  expectLine("DRAG_ENTER");
}

void setPrimary(XvfbServer& server, const Area& area) {
  ASSERT_TRUE(setPrimaryMonitor(server.display(), area.x, area.y, area.width, area.height));
}

class TwoScreensTest : public SidecarUnderXvfbTest {
 protected:
  XvfbServer& server() override { return tallServer(); }
};

TEST_F(TwoScreensTest, ZonesLieByThePrimaryMonitorAndFollowItsChanges) {
  // The root is 1920 × 1440 and the primary monitor its upper 1920 × 1080, so
  // the sidecar's y is 1080 - X's y; flipping by the root's height would put
  // every zone 360 rows too low.
  primary = Area{0, 0, kTallWidth, 1080};
  setPrimary(server(), *primary);
  startSidecar();
  {
    auto source = beginDrag("files");
    enterTrigger();
    move(kOutsideAll);
    expectLine("DRAG_EXIT");
    xdotool({"mouseup", "1"});
  }
  // While it runs, the primary becomes a 1280 × 720 monitor at the lower
  // right: origin and flip both move.
  primary = Area{640, 720, 1280, 720};
  setPrimary(server(), *primary);
  auto source = beginDrag("files");
  enterTrigger();
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
}

class XineramaTest : public SidecarUnderXvfbTest {
 protected:
  XvfbServer& server() override { return xineramaServer(); }
};

TEST_F(XineramaTest, WithoutARandRPrimaryZonesLieByTheFirstHead) {
  // RandR names no primary here; the first head is 1280 × 800 at the top, so
  // the sidecar's y is 800 - X's y. Flipping by the root's height (1200)
  // would put every zone 400 rows too low: a drag just below the tray would
  // not enter.
  primary = Area{0, 0, 1280, 800};
  startSidecar();
  auto source = beginDrag("files");
  enterTrigger();
  move(kOutsideAll);
  expectLine("DRAG_EXIT");
}

struct SignalCase {
  int signalNumber;
  bool inside;

  friend void PrintTo(const SignalCase& c, std::ostream* out) {
    *out << "SIG" << sigabbrev_np(c.signalNumber)
         << (c.inside ? " while inside" : " while outside");
  }
};

class TerminationTest : public SidecarUnderXvfbTest,
                        public ::testing::WithParamInterface<SignalCase> {};

TEST_P(TerminationTest, EndsWithStatus0AndNoFurtherOutput) {
  startSidecar();
  std::unique_ptr<ChildProcess> source;
  if (GetParam().inside) {
    source = beginDrag("files");
    enterTrigger();
  }
  sidecar->sendSignal(GetParam().signalNumber);
  EXPECT_EQ(exitCode(sidecar->waitForExit(5000ms)), 0);
  EXPECT_EQ(sidecar->readToEnd(1000ms), "");
  EXPECT_EQ(sidecar->readAllErrors(1000ms), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationTest,
                         ::testing::Values(SignalCase{SIGTERM, false}, SignalCase{SIGTERM, true},
                                           SignalCase{SIGINT, false}, SignalCase{SIGINT, true}),
                         [](const auto& info) {
                           return std::string(info.param.signalNumber == SIGINT ? "SIGINT"
                                                                                : "SIGTERM") +
                                  (info.param.inside ? "_Inside" : "_Idle");
                         });

// The application dies without a word (a crash, SIGKILL): its sidecar must not
// stay behind with its monitors and timer. The test process adopts orphans
// (a child subreaper), so it can wait for the orphaned sidecar's end.
TEST_F(SidecarUnderXvfbTest, ParentKilledLeavesNoSidecarBehind) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  move(kOutsideAll);
  // A shell as the application: it starts the sidecar, says its process id,
  // and waits; the sidecar writes to the same pipe.
  ChildProcess application(
      {"/bin/sh", "-c", "\"$0\" --tray-frame 100,700,200,30 & echo $!; wait", kSidecar},
      environment());
  const std::optional<std::string> pidLine = application.readLine(5000ms);
  ASSERT_TRUE(pidLine);
  const pid_t sidecarPid = std::stoi(*pidLine);
  bool listening = false;
  for (int attempt = 0; attempt < 25 && !listening; ++attempt) {
    xdotool({"click", "1"});
    listening = application.readLine(200ms) == "OUTSIDE_CLICK";
  }
  ASSERT_TRUE(listening) << "the sidecar never reported an outside click";

  application.sendSignal(SIGKILL);
  const Clock::time_point killed = Clock::now();
  // Once the parent is gone, its orphan is this process's child.
  ASSERT_TRUE(application.waitForExit(5000ms));
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(sidecarPid, &status, WNOHANG)) == 0 && since(killed) < 5000ms) {
    std::this_thread::sleep_for(1ms);
  }
  const Milliseconds took = since(killed);
  if (ended != sidecarPid) {  // leave nothing behind for the next test
    kill(sidecarPid, SIGKILL);
    waitpid(sidecarPid, nullptr, 0);
  }
  ASSERT_EQ(ended, sidecarPid) << "the sidecar outlived its parent";
  std::cout << "[ measured ] sidecar gone " << took.count() << " ms after its parent was killed\n";
  EXPECT_LE(took, 100ms);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  EXPECT_EQ(application.readToEnd(1000ms), "");  // nothing printed on the way out
}

// The application dies right after spawning it, before the sidecar has run:
// the sidecar has been handed to the process that adopts orphans (process 1)
// and reads that one as its parent, whose end it would wait for forever. It
// must end at once instead, with status 0 and nothing printed. The fixture
// runs it as such an orphan in a PID namespace of its own and exits with its
// status.
TEST_F(SidecarUnderXvfbTest, ParentGoneBeforeItsStartEndsItAtOnce) {
  const Clock::time_point started = Clock::now();
  // Under AddressSanitizer the leak check at exit cannot stop the world from
  // inside a PID namespace of its own and would end the sidecar with status 1;
  // it is not what this case is about. Elsewhere the variable is unread.
  ChildProcess launcher({kOrphanLauncher, kSidecar, "--tray-frame", "100,700,200,30"},
                        environment({{"ASAN_OPTIONS", "detect_leaks=0"}}));
  launcher.closeInput();
  const std::optional<int> status = launcher.waitForExit(5000ms);
  const Milliseconds took = since(started);
  if (exitCode(status) == 77) GTEST_SKIP() << launcher.readAllErrors(1000ms);
  ASSERT_TRUE(status) << "the orphaned sidecar did not end";
  std::cout << "[ measured ] orphaned sidecar ended " << took.count() << " ms after its launch\n";
  EXPECT_EQ(exitCode(status), 0);
  EXPECT_LE(took, 2000ms);
  EXPECT_EQ(launcher.readToEnd(1000ms), "");
  EXPECT_EQ(launcher.readAllErrors(1000ms), "");
}

TEST_F(SidecarUnderXvfbTest, WaylandSessionWarnsOnStandardErrorAndGoesOn) {
  startSidecar({{"XDG_SESSION_TYPE", "wayland"}});
  sidecar->sendSignal(SIGTERM);
  EXPECT_EQ(exitCode(sidecar->waitForExit(5000ms)), 0);
  EXPECT_EQ(sidecar->readToEnd(1000ms), "");
  EXPECT_EQ(sidecar->readAllErrors(1000ms),
            "[KestrovanDragDropzone] Warning: this is a Wayland session; through XWayland the "
            "sidecar sees the pointer only over X11 windows and misses most drags.\n");
}

// ---------------------------------------------------------------- faults

// Standard output read to its end: whole lines only, each one of the program's words.
void expectWholeKnownLines(const std::string& output) {
  if (!output.empty()) {
    EXPECT_EQ(output.back(), '\n') << "the last line was cut: " << output;
  }
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_TRUE(std::ranges::find(outputSignals, line) != outputSignals.end())
        << "unknown or cut line \"" << line << "\"";
  }
}

class SignalDuringStormTest : public SidecarUnderXvfbTest,
                              public ::testing::WithParamInterface<int> {};

// A storm of pointer moves, presses, releases, right clicks and new drags by a
// source that answers every conversion; the signal lands at a different moment
// in each round.
TEST_P(SignalDuringStormTest, EndsWithStatus0PromptlyAndOnlyWholeLines) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    startSidecar();
    auto source = startSource("files");
    // Half of the moves land in a box around the trigger zone (X coordinates).
    source->writeLine("storm " + std::to_string(GetParam() * 10 + round) + " 140 90 120 120");
    ASSERT_EQ(source->readLine(5000ms), "STORMING");
    std::string output = sidecar->readFor(Milliseconds(300 + 170 * round));

    sidecar->sendSignal(GetParam());
    const Clock::time_point sent = Clock::now();
    const std::optional<int> status = sidecar->waitForExit(kExitBound);
    const Milliseconds took = since(sent);
    output += sidecar->readToEnd(2000ms);
    source->writeLine("calm");
    EXPECT_EQ(source->readLine(5000ms), "CALM");

    EXPECT_EQ(exitCode(status), 0) << "no exit within " << kExitBound.count() << " ms";
    std::cout << "[ measured ] exit " << took.count() << " ms after the signal, "
              << std::count(output.begin(), output.end(), '\n') << " lines during the storm\n";
    EXPECT_FALSE(output.empty()) << "the storm made the sidecar print nothing";
    expectWholeKnownLines(output);
    EXPECT_EQ(sidecar->readAllErrors(1000ms), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringStormTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) {
                           return std::string(info.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

TEST_F(SidecarUnderXvfbTest, ReaderThatClosesStandardOutputEndsItBySigpipe) {
  startSidecar();
  sidecar->closeOutput();
  // The next line meets no reader; SIGPIPE keeps its default action.
  std::optional<int> status;
  for (int attempt = 0; attempt < 10 && !status; ++attempt) {
    xdotool({"click", "1"});
    status = sidecar->waitForExit(500ms);
  }
  ASSERT_TRUE(status) << "the sidecar went on without a reader";
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGPIPE) << "wait status " << *status;
  EXPECT_EQ(sidecar->readAllErrors(1000ms), "");
}

TEST_F(SidecarUnderXvfbTest, SilentSelectionOwnerCostsOneBoundedWaitAndTheLoopGoesOn) {
  startSidecar();
  auto source = beginDrag("files");
  enterTrigger();
  // An owner that answers is asked once per drag too: its answer is kept for
  // the drag's ticks (text/uri-list names a file, so TARGETS is not needed).
  std::this_thread::sleep_for(300ms);
  source->writeLine("requests");
  EXPECT_EQ(source->readLine(5000ms), "REQUESTS 1");

  // A new drag whose owner never answers a conversion: after the conversion
  // bound it counts as no files, which ends the entered drag.
  ChildProcess silent({kFixture, "--offer", "files", "--silent"}, environment());
  ASSERT_EQ(silent.readLine(5000ms), "OWNED");
  expectLine("DRAG_EXIT");

  // The ticks go on with the button down, but the silent owner is asked once
  // for this drag, not at every tick.
  std::this_thread::sleep_for(500ms);
  silent.writeLine("requests");
  EXPECT_EQ(silent.readLine(5000ms), "REQUESTS 1");

  // Meanwhile presses are answered promptly.
  move(kOutsideAll);
  for (int i = 0; i < 3; ++i) {
    xdotool({"click", "3"});
    const Clock::time_point clicked = Clock::now();
    EXPECT_EQ(sidecar->readLine(kPrompt), "OUTSIDE_CLICK");
    std::cout << "[ measured ] OUTSIDE_CLICK " << since(clicked).count()
              << " ms after xdotool returned\n";
  }

  // A new drag by an owner that answers enters again; a release outside the
  // retention zone ends it.
  source->writeLine("own");
  ASSERT_EQ(source->readLine(5000ms), "OWNED");
  enterTrigger();
  source->writeLine("requests");
  EXPECT_EQ(source->readLine(5000ms), "REQUESTS 2");
  std::vector<std::string> chain = moveTo(kOutsideAll);
  chain.insert(chain.end(), {"mouseup", "1"});
  xdotool(chain);
  EXPECT_EQ(sidecar->readLine(kPrompt), "DRAG_EXIT");

  // And a signal still ends it while the silent owner holds a new drag.
  silent.writeLine("own");
  ASSERT_EQ(silent.readLine(5000ms), "OWNED");
  xdotool({"mousedown", "1"});
  EXPECT_EQ(sidecar->readLine(kPrompt), "OUTSIDE_CLICK");
  sidecar->sendSignal(SIGTERM);
  EXPECT_EQ(exitCode(sidecar->waitForExit(kExitBound)), 0);
  EXPECT_EQ(sidecar->readToEnd(1000ms), "");
}

}  // namespace
}  // namespace kestrovan::sidecar::e2e
