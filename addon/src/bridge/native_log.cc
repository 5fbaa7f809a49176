#include "bridge/native_log.h"

#include "port/diagnostic_sink.h"

namespace kestrovan {

void nativeLog(std::string_view message) { port::writeDiagnosticLine(kNativeLogTag, message); }

std::string& nativeLogBuffer() {
  // nativeLog never comes back to nativeLogLine, so one buffer per thread
  // serves every line.
  thread_local std::string buffer;
  buffer.clear();
  return buffer;
}

}  // namespace kestrovan
