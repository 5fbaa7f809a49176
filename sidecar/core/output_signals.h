// The sidecar's program-wide constants: the three words of its output
// protocol, the polling fallback's drag threshold, and the pasteboard type
// names that count as files.
//
// Standard output carries only the three words, each followed by one line
// feed; nothing else is ever written there.
#pragma once

#include <chrono>
#include <string_view>

namespace kestrovan::sidecar {

inline constexpr std::string_view dragEnterSignal = "DRAG_ENTER";
inline constexpr std::string_view dragExitSignal = "DRAG_EXIT";
inline constexpr std::string_view outsideClickSignal = "OUTSIDE_CLICK";

// Distance in points the pointer must move with the left button down before
// the polling fallback counts a drag as started.
inline constexpr double pollingDragStartThreshold = 6.0;

// The polling timer's period.
inline constexpr std::chrono::milliseconds pollingInterval{50};

// Pasteboard type names that mean "files", compared by their string values.
inline constexpr std::string_view fileURLPasteboardType = "public.file-url";
inline constexpr std::string_view filenamesPasteboardType = "NSFilenamesPboardType";

// Prefix of the one line the sidecar writes to standard error when it fails.
inline constexpr std::string_view failureLinePrefix = "[KestrovanDragDropzone] Sidecar failed: ";

}  // namespace kestrovan::sidecar
