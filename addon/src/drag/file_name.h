// Promised names: the name a drop target is given must name one entry of the
// destination folder, never a path and never one the file system refuses.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrovan {

// The longest name, in UTF-8 bytes, that APFS stores (NAME_MAX on macOS); a
// longer name would fail only when the app writes it.
inline constexpr size_t kMaxFileNameBytes = 255;

// True when `name` (UTF-8, as read from JavaScript: a lone surrogate is
// already U+FFFD, three bytes) is one file name: not empty, not "." or "..",
// without "/", without a control character (U+0000 to U+001F, U+007F), and at
// most kMaxFileNameBytes bytes long. Everything else the Finder accepts is
// kept: spaces, ":", leading periods, any script, emoji.
bool isOneFileName(std::string_view name);

}  // namespace kestrovan
