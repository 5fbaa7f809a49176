#include <gtest/gtest.h>

#include <limits>

#include "drag/drag_image_geometry.h"

namespace kestrovan::drag_image_geometry {
namespace {

void expectBox(const Box& actual, const Box& expected, const std::string& what) {
  EXPECT_DOUBLE_EQ(actual.x, expected.x) << what;
  EXPECT_DOUBLE_EQ(actual.y, expected.y) << what;
  EXPECT_DOUBLE_EQ(actual.width, expected.width) << what;
  EXPECT_DOUBLE_EQ(actual.height, expected.height) << what;
}

TEST(DragImageGeometry, BadgeTextAndFontSizeForACount) {
  struct Case {
    int64_t count;
    const char* text;
    double fontSize;
  } cases[] = {
      {1, "1", 12},
      {7, "7", 12},
      {10, "10", 12},
      {99, "99", 12},
      {100, "99+", 10},
      {123456789012, "99+", 10},
      {0, "1", 12},  // a count below 1 shows 1
      {-5, "1", 12},
      {std::numeric_limits<int64_t>::min(), "1", 12},
      {std::numeric_limits<int64_t>::max(), "99+", 10},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(badgeText(c.count), c.text) << c.count;
    EXPECT_EQ(badgeFontSize(badgeText(c.count)), c.fontSize) << c.count;
  }
}

TEST(DragImageGeometry, BadgeWidthIsTheRoundedUpTextWidthPlusTenButAtLeast22) {
  struct Case {
    double textWidth;
    double badgeWidth;
  } cases[] = {
      {0, 22},     {7.2, 22},  {12, 22},  // 12 + 10 is exactly the minimum
      {12.01, 23},                        // rounded up before the padding is added
      {16.7, 27},  {22.3, 33}, {40, 50},
  };
  for (const auto& c : cases) {
    Box badge = badgeBox(c.textWidth);
    // Right and top edges 3 points inside the 64-point canvas.
    expectBox(badge, {64 - c.badgeWidth - 3, 41, c.badgeWidth, 20}, std::to_string(c.textWidth));
  }
  EXPECT_DOUBLE_EQ(badgeBox(8.3).x, 39);
}

TEST(DragImageGeometry, BadgeTextIsLoweredByHalfTheSpareHeightRoundedDown) {
  Box badge{31, 41, 30, 20};
  expectBox(badgeTextBox(badge, 14), {31, 44, 30, 14}, "even spare height");
  expectBox(badgeTextBox(badge, 13.97), {31, 44, 30, 13.97}, "fractional spare height");
  expectBox(badgeTextBox(badge, 11.5), {31, 45, 30, 11.5}, "4.25 rounds down");
  expectBox(badgeTextBox(badge, 20), {31, 41, 30, 20}, "no spare height");
  expectBox(badgeTextBox(badge, 23), {31, 39, 30, 23}, "taller than the badge rounds down too");
}

TEST(DragImageGeometry, IconFillKeepsProportionsAndCentresTheOverflow) {
  struct Case {
    const char* what;
    double width;
    double height;
    Box drawn;
  } cases[] = {
      {"wide 88 x 44", 88, 44, {-12, 10, 88, 44}},
      {"tall 22 x 44", 22, 44, {10, -12, 44, 88}},
      {"square, any size", 512, 512, {10, 10, 44, 44}},
      {"slightly wide", 45, 44, {10 - 0.5, 10, 45, 44}},
      {"zero width", 0, 44, {10, 10, 44, 44}},
      {"zero height", 44, 0, {10, 10, 44, 44}},
      {"negative", -10, 20, {10, 10, 44, 44}},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), 20, {10, 10, 44, 44}},
  };
  for (const auto& c : cases) expectBox(iconFillBox(c.width, c.height), c.drawn, c.what);
}

}  // namespace
}  // namespace kestrovan::drag_image_geometry
