// The window-exit trigger's state that the drag start reads.
#pragma once

#include "port/event.h"

namespace kestrovan {

// The left-mouse-dragged event with which the cursor left the armed window's
// content view, while the window-exit callback it fired runs; none at every
// other time (also while a callback runs that fired during arming).
port::EventPtr windowExitEvent();

// Cancels any arming without calling its callback.
void disarmWindowExit();

}  // namespace kestrovan
