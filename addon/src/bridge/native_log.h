// The addon's one diagnostic channel: every line goes to the platform's log
// (NSLog on macOS) behind the tag "[KestrovanNativeFilePromise] ". The message
// is always an argument, never a format, so "%@" or "%s" in it print unchanged.
// There are no levels and no switch that turns it off.
#pragma once

#include <string>
#include <string_view>

#include "bridge/log_line.h"

namespace kestrovan {

inline constexpr std::string_view kNativeLogTag = "[KestrovanNativeFilePromise] ";

void nativeLog(std::string_view message);

// The thread's buffer that nativeLogLine builds its messages in, emptied.
std::string& nativeLogBuffer();

// nativeLog(logLine(parts...)), the message built in a buffer kept for the
// thread: a line costs no allocation of its own.
template <typename... Parts>
void nativeLogLine(const Parts&... parts) {
  std::string& message = nativeLogBuffer();
  appendLogLine(message, parts...);
  nativeLog(message);
}

}  // namespace kestrovan
