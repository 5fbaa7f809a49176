// Haptic feedback on AppKit: NSHapticFeedbackManager's default performer. It
// translates; it decides nothing.

#import <AppKit/AppKit.h>

#include "exceptions_mac.h"
#include "port/haptics.h"

namespace kestrovan::port {

void performHapticFeedback(uint64_t pattern, uint64_t performanceTime) {
  mac::catchingExceptions([&] {
    [NSHapticFeedbackManager.defaultPerformer
        performFeedbackPattern:static_cast<NSHapticFeedbackPattern>(pattern)
               performanceTime:static_cast<NSHapticFeedbackPerformanceTime>(performanceTime)];
  });
}

}  // namespace kestrovan::port
