// Uniform type identifiers (UTType) for the file types of promised items.
#pragma once

#include <optional>
#include <string>

namespace kestrovan::port {

// UTType.folder's identifier (public.folder on macOS).
std::string folderTypeIdentifier();
// UTType.data's identifier (public.data on macOS).
std::string dataTypeIdentifier();
// The identifier of UTType(filenameExtension:conformingTo: UTType.data), or none.
std::optional<std::string> typeIdentifierForExtension(const std::string& extension);
// Whether the platform knows a type with this identifier (UTType typeWithIdentifier:
// gives one).
bool isKnownTypeIdentifier(const std::string& identifier);

}  // namespace kestrovan::port
