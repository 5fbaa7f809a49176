// Haptic feedback on the simulated desktop: the requests the application made
// to the feedback performer, in order, with the virtual clock's time of each.
// Like the rest of the desktop it is used from the main thread only and lives
// for the process.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrovan::sim {

struct HapticRequest {
  uint64_t pattern;
  uint64_t performanceTime;
  double time;  // Desktop::now() when it was made
};

std::vector<HapticRequest>& hapticRequests();

}  // namespace kestrovan::sim
