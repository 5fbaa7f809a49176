// Haptic feedback on the simulated desktop: the performer records each request.

#include "haptics_sim.h"

#include "desktop_sim.h"
#include "port/haptics.h"

namespace kestrovan::sim {

std::vector<HapticRequest>& hapticRequests() {
  // Never destroyed, like the desktop itself.
  static auto* requests = new std::vector<HapticRequest>();
  return *requests;
}

}  // namespace kestrovan::sim

namespace kestrovan::port {

void performHapticFeedback(uint64_t pattern, uint64_t performanceTime) {
  sim::hapticRequests().push_back({pattern, performanceTime, sim::Desktop::instance().now()});
}

}  // namespace kestrovan::port
