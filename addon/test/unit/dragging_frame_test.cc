#include "drag/dragging_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kestrovan {
namespace {

TEST(DraggingFrame, OffsetsGrowByFourUpToEighteen) {
  std::vector<double> offsets;
  for (size_t i = 0; i < 7; ++i) offsets.push_back(draggingFrameOffset(i));
  EXPECT_EQ(offsets, (std::vector<double>{0, 4, 8, 12, 16, 18, 18}));
  EXPECT_EQ(draggingFrameOffset(SIZE_MAX), 18);
}

TEST(DraggingFrame, FirstIsCentredAndLaterOnesMoveRightAndDown) {
  port::Rect first = draggingFrameForItem({100.5, 200}, 0);
  EXPECT_EQ(first.x, 68.5);
  EXPECT_EQ(first.y, 168);
  EXPECT_EQ(first.width, 64);
  EXPECT_EQ(first.height, 64);
  port::Rect third = draggingFrameForItem({100.5, 200}, 2);
  EXPECT_EQ(third.x, 76.5);
  EXPECT_EQ(third.y, 160);
  port::Rect tenth = draggingFrameForItem({0, 0}, 9);
  EXPECT_EQ(tenth.x, -14);
  EXPECT_EQ(tenth.y, -50);
}

}  // namespace
}  // namespace kestrovan
