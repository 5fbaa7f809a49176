'use strict';
// windowNumberOf(browserWindow): the window number of an Electron
// BrowserWindow, for the functions of this package that take one. Electron
// documents getMediaSourceId() as "window:<id>:<n>"; on macOS <id> is the
// window's CGWindowID, which is its NSWindow's windowNumber. Answers 0 (the
// functions then use the key window) whenever it cannot tell, and never throws;
// warns once when passed a number.

// The documented shape, whole: decimal digits only, no sign, blank or exponent
// in the id.
const MEDIA_SOURCE_ID = /^window:(\d+):-?\d+$/;

// A CGWindowID is an unsigned 32-bit integer, and 0 names no window.
const LARGEST_WINDOW_ID = 0xffffffff;

// A number is most likely a BrowserWindow's `id`, Electron's own counter and
// no window number: the drag would then start from the key window, which may
// be another one. Said once per process, as a warning: never a throw.
let warnedOfNumber = false;

function warnOfNumber() {
  if (warnedOfNumber) return;
  warnedOfNumber = true;
  process.emitWarning(
    'windowNumberOf() was passed a number (a BrowserWindow\'s id?); pass the BrowserWindow itself. ' +
      'It answers 0, so the key window is used, which may be another window.',
    { code: 'KESTROVAN_WINDOW_NUMBER_OF_NUMBER' },
  );
}

function windowNumberOf(browserWindow) {
  if (typeof browserWindow === 'number') {
    warnOfNumber();
    return 0;
  }
  if (browserWindow === null || (typeof browserWindow !== 'object' && typeof browserWindow !== 'function')) {
    return 0;
  }
  let text;
  try {
    const getMediaSourceId = browserWindow.getMediaSourceId;
    if (typeof getMediaSourceId !== 'function') return 0;
    text = getMediaSourceId.call(browserWindow);
  } catch (error) {
    return 0; // a destroyed window throws "Object has been destroyed"
  }
  if (typeof text !== 'string') return 0;
  const match = MEDIA_SOURCE_ID.exec(text);
  if (match === null) return 0;
  const id = Number(match[1]);
  return id >= 1 && id <= LARGEST_WINDOW_ID ? id : 0;
}

module.exports = { windowNumberOf };
