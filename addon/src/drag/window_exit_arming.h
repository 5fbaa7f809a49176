// The window-exit trigger: a one-shot arming that runs a call when the cursor,
// with the left button held, leaves the armed window's content view.
//
// One arming at a time, in module-level state that lives for the process and
// is touched on the main thread only. While the cursor is inside, a local
// monitor for left-mouse-up and left-mouse-dragged events watches for the
// exit: a left-mouse-dragged event of the armed window outside its content
// view (the bounds, half-open) fires the arming, a left-mouse-up of any window
// disarms it. The monitor lets every event pass, the one that fired too.
//
// Ownership: the trigger owns the armed call from arming on and destroys it
// exactly once, without running it when the arming ends otherwise (a release,
// a disarm, a new arming, its owner's end), or after its one run when it fires.
// Firing takes the call out of the state before running it, so that the call
// may arm again and the new arming stays.
//
// Free of Node-API: what the call does (calling JavaScript) is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "port/event.h"

namespace kestrovan {

// What an arming runs when the cursor has left.
class WindowExitCall {
 public:
  virtual ~WindowExitCall() = default;
  // Runs at most once, on the main thread; windowExitEvent() tells which event
  // fired it.
  virtual void run() = 0;
};

using WindowExitCallPtr = std::unique_ptr<WindowExitCall>;

// Who made an arming (a JavaScript environment), compared and never
// dereferenced: an owner's end cancels only its own arming.
using WindowExitOwner = const void*;

// Arms the trigger, after cancelling any earlier arming whatever the answer.
// The window is the one with `windowNumber` (when given and found), else the
// key window, else the main window; it needs a content view, and the left
// button must be held. Only then is `makeCall` asked for the call; none from
// it refuses. When the cursor is already outside the content view, the call
// runs before this returns (windowExitEvent() is none during it) and nothing
// stays armed. False when refused, or when AppKit raised while the monitor was
// added (nothing stays armed; the exception is left kept for the caller).
bool armWindowExit(std::optional<int64_t> windowNumber, WindowExitOwner owner,
                   const std::function<WindowExitCallPtr()>& makeCall);

// Cancels any arming without running its call.
void disarmWindowExit();

// Cancels the arming only when `owner` made it.
void disarmWindowExitOf(WindowExitOwner owner);

// The left-mouse-dragged event with which the cursor left the armed window's
// content view, while the call it fired runs; none at every other time (also
// while a call runs that fired during arming).
port::EventPtr windowExitEvent();

}  // namespace kestrovan
