// The polling fallback's fixed values: how often it samples the pointer, and
// how far the pointer must move before it counts a drag as started.
#pragma once

#include <chrono>

namespace kestrovan::sidecar {

// Distance in points the pointer must move with the left button down before
// the polling fallback counts a drag as started.
inline constexpr double pollingDragStartThreshold = 6.0;

// The polling timer's period.
inline constexpr std::chrono::milliseconds pollingInterval{50};

}  // namespace kestrovan::sidecar
