// Haptic feedback on trackpads that support it (NSHapticFeedbackManager's
// default performer). Values are AppKit's raw NSHapticFeedbackPattern and
// NSHapticFeedbackPerformanceTime values.
#pragma once

#include <cstdint>

namespace kestrovan::port {

namespace haptic_pattern {
inline constexpr uint64_t kGeneric = 0;
inline constexpr uint64_t kAlignment = 1;
inline constexpr uint64_t kLevelChange = 2;
}  // namespace haptic_pattern

namespace haptic_performance_time {
inline constexpr uint64_t kDefault = 0;
inline constexpr uint64_t kNow = 1;
inline constexpr uint64_t kDrawCompleted = 2;
}  // namespace haptic_performance_time

// performFeedbackPattern:performanceTime: on the default performer. The
// performer reports nothing back.
void performHapticFeedback(uint64_t pattern, uint64_t performanceTime);

}  // namespace kestrovan::port
