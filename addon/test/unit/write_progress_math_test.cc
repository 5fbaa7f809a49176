#include "drag/write_progress_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kestrovan {
namespace {

TEST(CompletedUnitsForFraction, ClampsAndRoundsHalvesAwayFromZero) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double fraction;
    int64_t units;
  } cases[] = {
      {0.5, 500},
      {0.0005, 1} /* 0.5 rounds up */,
      {0.0025, 3} /* 2.5 rounds up */,
      {0.0004, 0},
      {0.0015, 2},
      {1.0, 1000},
      {1.7, 1000},
      {inf, 1000},
      {-3, 0},
      {-inf, 0},
      {-0.0, 0},
      {0.9995, 1000},
      {0.9994, 999},
      {std::numeric_limits<double>::denorm_min(), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(completedUnitsForFraction(c.fraction, 1000), c.units) << c.fraction;
  }
}

TEST(CompletedUnitsForFraction, NanIsIgnored) {
  EXPECT_EQ(completedUnitsForFraction(std::nan(""), 1000), std::nullopt);
}

}  // namespace
}  // namespace kestrovan
