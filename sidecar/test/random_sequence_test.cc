// Long random sequences of mouse events, ticks and drags, run on the real
// monitor and on a small reference model of the zone rule; the outputs must
// agree, and "DRAG_ENTER" must never repeat without an end in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "test/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using Lines = std::vector<std::string>;

// Passes when the monitor printed what the model did; otherwise names the
// first line where they part and shows both around it.
::testing::AssertionResult sameLines(const Lines& monitor, const Lines& model) {
  const auto [left, right] = std::ranges::mismatch(monitor, model);
  if (left == monitor.end() && right == model.end()) return ::testing::AssertionSuccess();
  const std::size_t first = static_cast<std::size_t>(left - monitor.begin());
  auto failure = ::testing::AssertionFailure();
  failure << "the monitor printed " << monitor.size() << " lines, the model " << model.size()
          << "; they differ first at line " << first << ":\n";
  const auto line = [](const Lines& lines, std::size_t i) {
    return i < lines.size() ? lines[i] : std::string("(none)");
  };
  const std::size_t from = first >= 3 ? first - 3 : 0;
  for (std::size_t i = from; i <= first + 3 && (i < monitor.size() || i < model.size()); ++i) {
    failure << (i == first ? "  > " : "    ") << i << ": monitor " << line(monitor, i) << ", model "
            << line(model, i) << "\n";
  }
  return failure;
}

// The zone rule as a table of states: what the sidecar should print, given
// only the pointer's zones, the button and the pasteboard, step by step.
class ReferenceModel {
 public:
  explicit ReferenceModel(const SidecarZones& zones) : zones_(zones) {}

  struct World {
    ScreenPoint pointer;
    bool leftDown;
    std::int64_t changeCount;
    bool offersFiles;
  };

  void onDragged(const World& w) { zone(isNewFileDrag(w), in(zones_.triggerZone, w), w); }
  void onMouseDown(const World& w) {
    if (in(zones_.clickAllowedZone, w)) return;
    inside_ = false;
    out.push_back("OUTSIDE_CLICK");
  }
  void onLeftUp(const World& w) {
    inactive_ = w.changeCount;
    if (inside_ && !in(zones_.retentionZone, w)) exit();
  }
  void onTick(const World& w) {
    if (!w.leftDown) {
      start_.reset();
      dragging_ = false;
      onLeftUp(w);
      return;
    }
    const bool fileDrag = isNewFileDrag(w);
    if (!start_) start_ = w.pointer;
    const double dx = w.pointer.x - start_->x, dy = w.pointer.y - start_->y;
    dragging_ = dragging_ || dx * dx + dy * dy >= 36.0;
    zone(fileDrag, dragging_ && in(zones_.triggerZone, w), w);
  }

  Lines out;

 private:
  static bool in(const Rect& r, const World& w) { return rectContains(r, w.pointer); }
  bool isNewFileDrag(const World& w) const { return w.changeCount != inactive_ && w.offersFiles; }
  void exit() {
    inside_ = false;
    out.push_back("DRAG_EXIT");
  }
  void zone(bool fileDrag, bool entering, const World& w) {
    const bool inRetention = in(zones_.retentionZone, w);
    if (!inside_ && fileDrag && entering) {
      inside_ = true;
      out.push_back("DRAG_ENTER");
    } else if (inside_ && !(fileDrag && inRetention)) {
      exit();
    }
  }

  SidecarZones zones_;
  bool inside_ = false;
  std::int64_t inactive_ = 0;
  std::optional<ScreenPoint> start_;
  bool dragging_ = false;
};

// Every DRAG_ENTER is followed by DRAG_EXIT or OUTSIDE_CLICK before the next
// one, and every DRAG_EXIT ends an open DRAG_ENTER.
void expectWellFormed(const Lines& lines) {
  bool open = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == "DRAG_ENTER") {
      ASSERT_FALSE(open) << "DRAG_ENTER repeated at line " << i;
      open = true;
    } else if (lines[i] == "DRAG_EXIT") {
      ASSERT_TRUE(open) << "DRAG_EXIT without DRAG_ENTER at line " << i;
      open = false;
    } else {
      ASSERT_EQ(lines[i], "OUTSIDE_CLICK");
      open = false;
    }
  }
}

class RandomSequenceTest : public MonitorTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(RandomSequenceTest, MatchesTheReferenceModel) {
  std::mt19937 random(GetParam());
  ReferenceModel model(exampleZones());
  // Points in, on the edges of, and around the zones, so that small moves
  // cross every boundary and the 6-point threshold often.
  const std::vector<ScreenPoint> points{kInTrigger,
                                        kInTriggerToo,
                                        kInDropzoneFrameInsideRetention,
                                        kOnTrayOutsideRetention,
                                        kOutsideAll,
                                        kOutsideAllToo,
                                        {150, 700},
                                        {250, 800},
                                        {720, 480},
                                        {204, 754},
                                        {205.9, 750},
                                        {206, 750}};
  bool leftDown = false;
  auto world = [&] {
    return ReferenceModel::World{platform.pointer, leftDown, platform.changeCount,
                                 platform.canReadFileURLs};
  };
  for (int step = 0; step < 3000; ++step) {
    switch (random() % 9) {
      case 0:
      case 1:
        platform.pointer = points[random() % points.size()];
        break;
      case 2:  // left press, seen by the monitor
        leftDown = true;
        platform.pressedButtons = 1;
        platform.hardwareLeftDown = true;
        platform.fireEvent(kLeftMouseDownMask);
        model.onMouseDown(world());
        break;
      case 3: {  // right or other press
        platform.fireEvent(random() % 2 ? kRightMouseDownMask : kOtherMouseDownMask);
        model.onMouseDown(world());
        break;
      }
      case 4:  // left release; the mouse-up event is sometimes missed
        leftDown = false;
        platform.pressedButtons = 0;
        platform.hardwareLeftDown = false;
        if (random() % 3 != 0) {
          platform.fireEvent(kLeftMouseUpMask);
          model.onLeftUp(world());
        }
        break;
      case 5:
        if (leftDown) {
          platform.fireEvent(kLeftMouseDraggedMask);
          model.onDragged(world());
        }
        break;
      case 6:
      case 7:
        platform.tick();
        model.onTick(world());
        break;
      case 8:
        platform.beginPasteboardDrag(random() % 3 != 0);
        break;
    }
  }
  const Lines actual = lines();
  ASSERT_TRUE(sameLines(actual, model.out));
  expectWellFormed(actual);
  // The sequences must actually exercise the rule.
  EXPECT_NE(std::find(actual.begin(), actual.end(), "DRAG_ENTER"), actual.end());
  EXPECT_NE(std::find(actual.begin(), actual.end(), "DRAG_EXIT"), actual.end());
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSequenceTest, ::testing::Range(1u, 41u));

// The file-drag test's gate, as a property of time alone: a drag pasteboard
// written before the last moment the sidecar saw the left button up never
// counts. Over long random sequences of owner changes (files, filenames only,
// promised files only, text, no type list) and button states (the two button sources disagreeing,
// mouse-up events missed), whenever the sidecar counts a file drag, by
// printing "DRAG_ENTER" or by staying Inside after a drag event or a tick with
// the button down, the pasteboard's current contents must have been written
// after that moment and must offer files.
class FreshPasteboardTest : public MonitorTest, public ::testing::WithParamInterface<unsigned> {
 protected:
  // Replaces the pasteboard contents with one of five kinds, at random.
  void writePasteboard(std::mt19937& random) {
    ++platform.changeCount;
    switch (random() % 5) {
      case 0:
        platform.canReadFileURLs = true;
        platform.types = std::vector<std::string>{"public.file-url"};
        break;
      case 1:
        platform.canReadFileURLs = false;
        platform.types = std::vector<std::string>{"NSFilenamesPboardType"};
        break;
      case 2:
        platform.canReadFileURLs = false;
        platform.types = std::vector<std::string>{"public.utf8-plain-text"};
        break;
      case 3:
        platform.canReadFileURLs = false;
        platform.types.reset();
        break;
      case 4:
        platform.canReadFileURLs = false;
        platform.types = std::vector<std::string>{"com.apple.NSFilePromiseItemMetaData"};
        break;
    }
  }
  bool offersFiles() const {
    if (platform.canReadFileURLs) return true;
    if (!platform.types) return false;
    for (const char* type : {"NSFilenamesPboardType", "com.apple.NSFilePromiseItemMetaData"}) {
      if (std::find(platform.types->begin(), platform.types->end(), type) !=
          platform.types->end()) {
        return true;
      }
    }
    return false;
  }
};

TEST_P(FreshPasteboardTest, NeverCountsAPasteboardWrittenBeforeTheButtonWasLastSeenUp) {
  std::mt19937 random(GetParam());
  // Steps are numbered from 1; the monitor was created (button seen up, in
  // effect) at step 0, and the pasteboard's contents date from before it.
  long lastWrite = -1;
  long lastSeenUp = 0;
  std::size_t printed = 0;
  int enters = 0;
  int staleChances = 0;  // moments a stale file pasteboard could have been counted

  const std::vector<ScreenPoint> points{kInTrigger, kInTriggerToo, kInDropzoneFrameInsideRetention,
                                        kOutsideAll};
  for (long step = 1; step <= 5000; ++step) {
    bool ruleApplied = false;  // a drag event or a tick with the button down
    switch (random() % 8) {
      case 0:
        writePasteboard(random);
        lastWrite = step;
        break;
      case 1:
        platform.pointer = points[random() % points.size()];
        break;
      case 2: {  // the two sources, each down or up; the press seen or missed
        const unsigned state = random() % 4;
        const bool wasDown = (platform.pressedButtons & 1u) != 0 || platform.hardwareLeftDown;
        platform.pressedButtons = (state & 1u) ? 1u : 0u;
        platform.hardwareLeftDown = (state & 2u) != 0;
        const bool isDown = state != 0;
        if (!wasDown && isDown && random() % 2) platform.fireEvent(kLeftMouseDownMask);
        if (wasDown && !isDown && random() % 2) {
          platform.fireEvent(kLeftMouseUpMask);
          lastSeenUp = step;
        }
        break;
      }
      case 3:  // a stray mouse-up event, whatever the sources say
        platform.fireEvent(kLeftMouseUpMask);
        lastSeenUp = step;
        break;
      case 4:
        if ((platform.pressedButtons & 1u) != 0 || platform.hardwareLeftDown) {
          platform.fireEvent(kLeftMouseDraggedMask);
          ruleApplied = true;
        }
        break;
      default: {
        const bool down = (platform.pressedButtons & 1u) != 0 || platform.hardwareLeftDown;
        platform.tick();
        if (down) {
          ruleApplied = true;
        } else {
          lastSeenUp = step;
        }
        break;
      }
    }
    const bool fresh = lastWrite > lastSeenUp;
    if (ruleApplied && !fresh && offersFiles() &&
        rectContains(exampleZones().triggerZone, platform.pointer)) {
      ++staleChances;
    }
    for (; printed < platform.outputWrites.size(); ++printed) {
      if (platform.outputWrites[printed] != "DRAG_ENTER\n") continue;
      ++enters;
      ASSERT_TRUE(fresh) << "step " << step << ": DRAG_ENTER for a pasteboard written at step "
                         << lastWrite << ", before the button was seen up at step " << lastSeenUp;
      ASSERT_TRUE(offersFiles()) << "step " << step << ": DRAG_ENTER without files";
    }
    if (ruleApplied && monitor->isInsideZone()) {
      ASSERT_TRUE(fresh) << "step " << step << ": still Inside on a pasteboard written at step "
                         << lastWrite << ", before the button was seen up at step " << lastSeenUp;
      ASSERT_TRUE(offersFiles()) << "step " << step << ": still Inside without files";
    }
  }
  // The sequences must reach both sides of the gate.
  EXPECT_GT(enters, 0);
  EXPECT_GT(staleChances, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FreshPasteboardTest, ::testing::Range(1u, 41u));

}  // namespace
}  // namespace kestrovan::sidecar::testing
