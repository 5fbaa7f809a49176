#include "drag/write_progress_math.h"

#include <cmath>

namespace kestrovan {

std::optional<int64_t> completedUnitsForFraction(double fraction, int64_t totalUnitCount) {
  if (std::isnan(fraction)) return std::nullopt;
  if (fraction > 1) fraction = 1;
  if (fraction <= 0) fraction = 0;
  // std::round rounds halves away from zero.
  return static_cast<int64_t>(std::round(fraction * static_cast<double>(totalUnitCount)));
}

}  // namespace kestrovan
