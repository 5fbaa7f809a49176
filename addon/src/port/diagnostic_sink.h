// Where diagnostic lines go: NSLog on macOS. The sink writes the tag and the
// message as given; it never interprets either as a format.
#pragma once

#include <string_view>

namespace kestrovan::port {

void writeDiagnosticLine(std::string_view tag, std::string_view message);

}  // namespace kestrovan::port
