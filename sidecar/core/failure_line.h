// The one line the sidecar writes to standard error when it fails:
// "[KestrovanDragDropzone] Sidecar failed: ", the reason, a line feed.
//
// A reason can quote what it was given (a command-line argument, the DISPLAY
// name), and those may hold any byte. So that the line stays exactly one
// line, and no value can forge a second one, the reason's control characters
// are written as escapes; everything else is written unchanged.
#pragma once

#include <string>
#include <string_view>

namespace kestrovan::sidecar {

// What every failure line begins with.
inline constexpr std::string_view failureLinePrefix = "[KestrovanDragDropzone] Sidecar failed: ";

// The text with each control character (U+0000 to U+001F and U+007F) written
// as `\n`, `\r`, `\t` or `\u00XX` (two upper-case hexadecimal digits); every
// other byte, a backslash and the bytes of UTF-8 sequences included, as it is.
std::string escapeControlCharacters(std::string_view text);

// The whole failure line for `reason`, line feed included.
std::string failureLine(std::string_view reason);

}  // namespace kestrovan::sidecar
