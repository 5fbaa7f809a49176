'use strict';
// kestrovan-desktop-sim: drives the simulated desktop that the Linux build of
// kestrovan-file-promise-drag runs on. Create windows and view trees, move the
// mouse, press buttons, send events through the application's local monitors,
// run the main queue and move its virtual clock, and read the diagnostic log.
// Read the images the addon drew (every drawing operation with its geometry
// and attributes) and their rasters as PNG bytes. Drop a drag on a Finder-like
// folder target, and read what every drop target was answered and the progress
// the addon published.
//
// The native functions are re-exported as they are; the helpers below build on
// them the way AppKit turns hardware input into events.

const EventType = Object.freeze({
  leftMouseDown: 1,
  leftMouseUp: 2,
  rightMouseDown: 3,
  rightMouseUp: 4,
  mouseMoved: 5,
  leftMouseDragged: 6,
  keyDown: 10,
  scrollWheel: 22,
  otherMouseDown: 25,
  otherMouseUp: 26,
  swipe: 31,
});

function wrap(native) {
  const desktop = Object.create(native);
  let trackingWindow = null; // the window that received the last mouse down

  function windowInfo(number) {
    return native.windowInfo(number);
  }

  /** The number of the frontmost window under a screen point, or null. */
  function windowAt(x, y) {
    const hits = native
      .windowNumbers()
      .map(windowInfo)
      .filter(({ frame: f }) => f.x <= x && x < f.x + f.width && f.y <= y && y < f.y + f.height);
    return hits.length ? hits[hits.length - 1].number : null;
  }

  function toWindow(number, x, y) {
    const { frame } = windowInfo(number);
    return { x: x - frame.x, y: y - frame.y };
  }

  function send(type, window, extra = {}) {
    const { x, y } = native.mouseLocation();
    const location = window == null ? { x, y } : toWindow(window, x, y);
    return native.sendEvent({ type, window, location, ...extra });
  }

  const downTypes = { 0: EventType.leftMouseDown, 1: EventType.rightMouseDown };
  const upTypes = { 0: EventType.leftMouseUp, 1: EventType.rightMouseUp };

  Object.assign(desktop, {
    EventType,
    windowAt,

    /** Presses a mouse button (0 left, 1 right, 2 middle, 3 back, 4 forward) at the mouse location. */
    mouseDown({ button = 0, window, modifierFlags = 0 } = {}) {
      const { x, y } = native.mouseLocation();
      const target = window ?? windowAt(x, y);
      native.setPressedButtons(native.pressedButtons() | (1 << button));
      if (button === 0) trackingWindow = target;
      return send(downTypes[button] ?? EventType.otherMouseDown, target, {
        buttonNumber: button,
        modifierFlags,
      });
    },

    /** Releases a mouse button; a left release goes to the window that got the press. */
    mouseUp({ button = 0, window, modifierFlags = 0 } = {}) {
      const { x, y } = native.mouseLocation();
      const target = window ?? (button === 0 && trackingWindow != null ? trackingWindow : windowAt(x, y));
      native.setPressedButtons(native.pressedButtons() & ~(1 << button));
      if (button === 0) trackingWindow = null;
      return send(upTypes[button] ?? EventType.otherMouseUp, target, {
        buttonNumber: button,
        modifierFlags,
      });
    },

    /**
     * Moves the mouse to a screen point. With the left button held this sends
     * a left-mouse-dragged event to the window that got the press, wherever the
     * mouse now is (as AppKit does); otherwise it only moves the cursor.
     */
    moveMouseTo(x, y, { modifierFlags = 0 } = {}) {
      native.moveMouse(x, y);
      if ((native.pressedButtons() & 1) === 0) return null;
      const target = trackingWindow ?? windowAt(x, y);
      return send(EventType.leftMouseDragged, target, { modifierFlags });
    },

    /** A scroll-wheel event at the mouse location. */
    scroll({ window } = {}) {
      const { x, y } = native.mouseLocation();
      return send(EventType.scrollWheel, window ?? windowAt(x, y));
    },

    /** A horizontal swipe at the mouse location. */
    swipe(deltaX, { window } = {}) {
      const { x, y } = native.mouseLocation();
      return send(EventType.swipe, window ?? windowAt(x, y), { deltaX });
    },

    // ---- Drags ----------------------------------------------------------------

    /**
     * Ends every running drag at the mouse location (or `at`) with `operation`
     * (0: cancelled), oldest first; returns how many ended.
     */
    endAllDrags({ operation = 0, at } = {}) {
      const point = at ?? native.mouseLocation();
      const running = native.drags();
      for (const drag of running) native.endDrag(drag.id, point, operation);
      return running.length;
    },

    /** Runs the main queue and moves the clock until no block is due within `seconds`. */
    runFor(seconds) {
      return native.runMainQueue() + native.advanceClock(seconds);
    },

    /** Forgets the desktop's state (see the native reset) and the haptic requests made so far. */
    reset() {
      trackingWindow = null;
      native.reset();
      native.clearHapticRequests();
    },
  });
  return desktop;
}

/**
 * Loads the control module (the package's own, or the one at binaryPath). The
 * simulated desktop exists only in the Linux builds: elsewhere no install or
 * build can give it, so that is what the error says.
 */
function load(binaryPath) {
  if (binaryPath == null && process.platform !== 'linux') {
    throw new Error(
      `kestrovan-file-promise-drag/desktop-sim: the simulated desktop runs on Linux only, for tests ` +
        `(this is ${process.platform}-${process.arch}); macOS builds have none: there the addon drives AppKit itself. ` +
        'Run the tests that use it on Linux, in CI for example.',
    );
  }
  const file = binaryPath ?? require('../../../js/binding').findBinary('kestrovan_desktop_sim_control');
  return wrap(require(file));
}

module.exports = { load, EventType };
