// The three words of the sidecar's output protocol.
//
// Standard output carries only these words, each followed by one line feed;
// nothing else is ever written there, at start-up or at exit.
#pragma once

#include <string_view>

namespace kestrovan::sidecar {

inline constexpr std::string_view dragEnterSignal = "DRAG_ENTER";
inline constexpr std::string_view dragExitSignal = "DRAG_EXIT";
inline constexpr std::string_view outsideClickSignal = "OUTSIDE_CLICK";

}  // namespace kestrovan::sidecar
