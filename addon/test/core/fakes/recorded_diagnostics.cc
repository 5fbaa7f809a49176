#include "fakes/recorded_diagnostics.h"

#include <optional>
#include <string_view>
#include <utility>

#include "port/diagnostic_sink.h"

namespace kestrovan {

namespace {

std::vector<std::string>& lines() {
  static std::vector<std::string> written;
  return written;
}

std::optional<port::PlatformException>& kept() {
  static std::optional<port::PlatformException> exception;
  return exception;
}

}  // namespace

namespace fake {

const std::vector<std::string>& diagnosticLines() { return lines(); }
void clearDiagnosticLines() { lines().clear(); }

void keepPlatformException(port::PlatformException exception) {
  if (!kept()) kept() = std::move(exception);
}
void clearPlatformException() { kept().reset(); }

}  // namespace fake

namespace port {

void writeDiagnosticLine(std::string_view tag, std::string_view message) {
  std::string line;
  line.reserve(tag.size() + message.size());
  line.append(tag).append(message);
  lines().push_back(std::move(line));
}

std::optional<PlatformException> takePlatformException() { return std::exchange(kept(), {}); }

bool platformExceptionPending() { return kept().has_value(); }

}  // namespace port

}  // namespace kestrovan
