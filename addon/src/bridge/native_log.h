// The addon's one diagnostic channel: every line goes to the platform's log
// (NSLog on macOS) behind the tag "[KestrovanNativeFilePromise] ". The message
// is always an argument, never a format, so "%@" or "%s" in it print unchanged.
// There are no levels and no switch that turns it off.
#pragma once

#include <string_view>

#include "bridge/log_line.h"

namespace kestrovan {

inline constexpr std::string_view kNativeLogTag = "[KestrovanNativeFilePromise] ";

void nativeLog(std::string_view message);

// nativeLog(logLine(parts...)).
template <typename... Parts>
void nativeLogLine(const Parts&... parts) {
  nativeLog(logLine(parts...));
}

}  // namespace kestrovan
