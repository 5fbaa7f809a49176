#include "bridge/native_log.h"

#include "port/diagnostic_sink.h"

namespace kestrovan {

void nativeLog(std::string_view message) { port::writeDiagnosticLine(kNativeLogTag, message); }

}  // namespace kestrovan
