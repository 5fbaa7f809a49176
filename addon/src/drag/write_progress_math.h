// How a reported fraction becomes a completed unit count.
#pragma once

#include <cstdint>
#include <optional>

namespace kestrovan {

// The fraction clamped to 0...1 (above 1 becomes 1, then 0 or less becomes 0)
// times the total, rounded to the nearest integer with halves away from zero.
// A NaN fraction gives no count: the update is ignored.
std::optional<int64_t> completedUnitsForFraction(double fraction, int64_t totalUnitCount);

}  // namespace kestrovan
