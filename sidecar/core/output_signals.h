// The words of the sidecar's output protocol: the one place they are written.
//
// Standard output carries only these words, each followed by one line feed;
// nothing else is ever written there, at start-up or at exit. The tests and
// the package's wrapper read the words from this file (one
// `inline constexpr std::string_view` per word, each listed in
// `outputSignals`); DEVELOPERS.md says what else a new word touches.
#pragma once

#include <array>
#include <string_view>

namespace kestrovan::sidecar {

inline constexpr std::string_view dragEnterSignal = "DRAG_ENTER";
inline constexpr std::string_view dragExitSignal = "DRAG_EXIT";
inline constexpr std::string_view outsideClickSignal = "OUTSIDE_CLICK";

// Every word above, in that order.
inline constexpr std::array outputSignals{dragEnterSignal, dragExitSignal, outsideClickSignal};

}  // namespace kestrovan::sidecar
