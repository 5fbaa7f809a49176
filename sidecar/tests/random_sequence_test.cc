// Long random sequences of mouse events, ticks and drags, run on the real
// monitor and on a small reference model of the zone rule; the outputs must
// agree, and "DRAG_ENTER" must never repeat without an end in between.
#include <gtest/gtest.h>

#include <random>

#include "tests/monitor_fixture.h"

namespace kestrovan::sidecar::testing {
namespace {

using Lines = std::vector<std::string>;

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
  const std::vector<ScreenPoint> points{
      kInTrigger, kInTriggerToo, kInRetentionOnly, kClickAllowedOnly, kOutsideAll,  kOutsideAllToo,
      {150, 700}, {250, 800},    {720, 480},       {204, 754},        {205.9, 750}, {206, 750}};
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
  ASSERT_EQ(actual, model.out);
  expectWellFormed(actual);
  // The sequences must actually exercise the rule.
  EXPECT_NE(std::find(actual.begin(), actual.end(), "DRAG_ENTER"), actual.end());
  EXPECT_NE(std::find(actual.begin(), actual.end(), "DRAG_EXIT"), actual.end());
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSequenceTest, ::testing::Range(1u, 41u));

}  // namespace
}  // namespace kestrovan::sidecar::testing
