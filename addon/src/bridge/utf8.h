// UTF-8 repair for texts that come from outside.
#pragma once

#include <string>
#include <string_view>

namespace kestrovan {

// Replaces every ill-formed UTF-8 sequence by U+FFFD, one replacement per
// maximal ill-formed subpart (the Unicode recommendation), keeping the rest.
std::string sanitizeUtf8(std::string_view bytes);

}  // namespace kestrovan
