// What the simulated desktop knows of type conformance beyond the port.
#pragma once

#include <string>

namespace kestrovan::port {

// isKnownTypeIdentifier of an identifier already in lower case.
bool isKnownLowerCaseTypeIdentifier(const std::string& lower);

}  // namespace kestrovan::port

namespace kestrovan::sim {

// Whether the type with this identifier conforms to public.data or to
// public.directory, as NSFilePromiseProvider requires of its file type.
bool conformsToDataOrDirectory(const std::string& identifier);

}  // namespace kestrovan::sim
