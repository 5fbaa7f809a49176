// The drag pasteboard's type names that mean "files", compared by their
// string values with the types the pasteboard offers.
#pragma once

#include <string_view>

namespace kestrovan::sidecar {

inline constexpr std::string_view fileURLPasteboardType = "public.file-url";
inline constexpr std::string_view filenamesPasteboardType = "NSFilenamesPboardType";

}  // namespace kestrovan::sidecar
