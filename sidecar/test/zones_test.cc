// Zone geometry and the containment and union the monitor relies on.
#include "core/zones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "test/monitor_fixture.h"
#include "test/point_places.h"

namespace kestrovan::sidecar {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SidecarSettings traySettings() {
  SidecarSettings settings;
  settings.trayFrame = Rect{100, 800, 200, 30};
  return settings;
}

TEST(ComputeZonesTest, WorkedExampleWithoutDropzone) {
  const SidecarZones zones = computeZones(traySettings());
  EXPECT_EQ(zones.triggerZone, (Rect{150, 700, 100, 100}));
  EXPECT_EQ(zones.retentionZone, (Rect{150, 700, 100, 100}));
  EXPECT_EQ(zones.clickAllowedZone, (Rect{100, 700, 200, 130}));
}

TEST(ComputeZonesTest, WorkedExampleWithDropzone) {
  SidecarSettings settings = traySettings();
  settings.dropzoneFrame = Rect{400, 500, 300, 200};
  settings.padding = 20;
  const SidecarZones zones = computeZones(settings);
  EXPECT_EQ(zones.triggerZone, (Rect{150, 700, 100, 100}));
  EXPECT_EQ(zones.retentionZone, (Rect{150, 480, 570, 320}));
  EXPECT_EQ(zones.clickAllowedZone, (Rect{100, 500, 600, 330}));
}

struct ClampCase {
  double zoneSize;
  double padding;
  double expectedSize;
  double expectedPadding;

  friend void PrintTo(const ClampCase& c, std::ostream* out) {
    *out << "zone size " << c.zoneSize << ", padding " << c.padding;
  }
};

class ClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ClampTest, ZoneSizeAtLeastOneAndPaddingAtLeastZero) {
  SidecarSettings settings = traySettings();
  settings.zoneSize = GetParam().zoneSize;
  settings.padding = GetParam().padding;
  settings.dropzoneFrame = Rect{400, 500, 300, 200};
  const SidecarZones zones = computeZones(settings);
  const double s = GetParam().expectedSize;
  const double p = GetParam().expectedPadding;
  EXPECT_EQ(zones.triggerZone, (Rect{200 - s * 0.5, 800 - s, s, s}));
  EXPECT_EQ(zones.retentionZone,
            rectUnion(zones.triggerZone, Rect{400 - p, 500 - p, 300 + 2 * p, 200 + 2 * p}));
}

INSTANTIATE_TEST_SUITE_P(Table, ClampTest,
                         ::testing::Values(ClampCase{0, -5, 1, 0}, ClampCase{0.5, 0, 1, 0},
                                           ClampCase{-100, 7, 1, 7}, ClampCase{kNaN, kNaN, 1, 0},
                                           ClampCase{1, 0.25, 1, 0.25},
                                           ClampCase{150, 20, 150, 20}));

TEST(ComputeZonesTest, PaddingIsUnusedWithoutDropzone) {
  SidecarSettings settings = traySettings();
  settings.padding = 500;
  EXPECT_EQ(computeZones(settings), computeZones(traySettings()));
}

TEST(RectUnionTest, IsPlainMinMaxWithoutNormalising) {
  EXPECT_EQ(rectUnion(Rect{0, 0, 10, 10}, Rect{20, -5, 5, 5}), (Rect{0, -5, 25, 15}));
  // A negative width still counts, through x as the left and x + width as
  // the right edge (normalised, its left edge would be -25).
  EXPECT_EQ(rectUnion(Rect{0, 0, 10, 10}, Rect{-20, 0, -5, 10}), (Rect{-20, 0, 30, 10}));
  // A zero-size rectangle far away stretches the union (the platform's would ignore it).
  EXPECT_EQ(rectUnion(Rect{0, 0, 10, 10}, Rect{100, 100, 0, 0}), (Rect{0, 0, 100, 100}));
}

struct ContainsCase {
  ScreenPoint point;
  bool inside;

  friend void PrintTo(const ContainsCase& c, std::ostream* out) {
    *out << "(" << c.point.x << ", " << c.point.y << ")";
  }
};

class ContainsTest : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(ContainsTest, AllFourEdgesBelongToTheZone) {
  const Rect zone{150, 700, 100, 100};
  EXPECT_EQ(rectContains(zone, GetParam().point), GetParam().inside)
      << GetParam().point.x << "," << GetParam().point.y;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ContainsTest,
    ::testing::Values(ContainsCase{{150, 750}, true}, ContainsCase{{250, 750}, true},
                      ContainsCase{{200, 700}, true}, ContainsCase{{200, 800}, true},
                      ContainsCase{{150, 700}, true}, ContainsCase{{250, 800}, true},
                      ContainsCase{{std::nextafter(150.0, 0.0), 750}, false},
                      ContainsCase{{std::nextafter(250.0, 300.0), 750}, false},
                      ContainsCase{{200, std::nextafter(700.0, 0.0)}, false},
                      ContainsCase{{200, std::nextafter(800.0, 900.0)}, false},
                      ContainsCase{{kNaN, 750}, false}, ContainsCase{{200, kNaN}, false}));

TEST(RectContainsTest, NaNOrNegativeZoneContainsNothing) {
  EXPECT_FALSE(rectContains(Rect{kNaN, 0, 10, 10}, ScreenPoint{5, 5}));
  EXPECT_FALSE(rectContains(Rect{0, 0, 10, kNaN}, ScreenPoint{5, 5}));
  EXPECT_FALSE(rectContains(Rect{10, 0, -10, 10}, ScreenPoint{5, 5}));
  EXPECT_TRUE(rectContains(Rect{5, 5, 0, 0}, ScreenPoint{5, 5}));
}

// The named points of the monitor's fixture (test/monitor_fixture.h) lie
// where their names say, so a test that uses one means what it reads.
struct NamedPointCase {
  const char* name;
  ScreenPoint point;
  const char* places;

  friend std::ostream& operator<<(std::ostream& out, const NamedPointCase& c) {
    return out << c.name << " (" << c.point.x << "," << c.point.y << ")";
  }
};

class NamedPointsTest : public ::testing::TestWithParam<NamedPointCase> {};

TEST_P(NamedPointsTest, LiesWhereItsNameSays) {
  const NamedPointCase& c = GetParam();
  EXPECT_EQ(testing::placesOf(c.point, testing::exampleZones(), testing::kExampleTrayFrame,
                              testing::kExampleDropzoneFrame),
            c.places)
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    MonitorFixture, NamedPointsTest,
    ::testing::Values(
        NamedPointCase{"kInTrigger", testing::kInTrigger, "trigger, retention, click-allowed"},
        NamedPointCase{"kInTriggerToo", testing::kInTriggerToo,
                       "trigger, retention, click-allowed"},
        NamedPointCase{"kInDropzoneFrameInsideRetention", testing::kInDropzoneFrameInsideRetention,
                       "retention, click-allowed, dropzone frame"},
        NamedPointCase{"kOnTrayOutsideRetention", testing::kOnTrayOutsideRetention,
                       "click-allowed, tray"},
        NamedPointCase{"kOutsideAll", testing::kOutsideAll, "nothing"},
        NamedPointCase{"kOutsideAllToo", testing::kOutsideAllToo, "nothing"}),
    [](const ::testing::TestParamInfo<NamedPointCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace kestrovan::sidecar
