'use strict';
// kestrovan-file-promise-drag: the native module's eight functions, handed on
// unchanged (the very function objects; they answer booleans and never throw
// of their own), and beside them the helpers written on them in JavaScript,
// and acceptFileDrops (drops into a window, on a native module of its own,
// loaded when the first zone opens).
// The package's object is a plain one of its own with ordinary properties
// (enumerable, writable, configurable): it prints and spreads like any module,
// and a test can put a double in place of a function. The native module's own
// table keeps the attributes its registration gives (read-only, not
// enumerable, not configurable).
const native = require(require('./binding').findBinary('kestrovan_file_promise_drag'));
const { createStartFileDrag } = require('./start_file_drag');
const { writeFileFromStream } = require('./write_file_from_stream');
const { windowNumberOf } = require('./window_number');
const { acceptFileDrops } = require('./accept_file_drops');

const entry = {};
for (const name of Object.getOwnPropertyNames(native)) entry[name] = native[name];
entry.startFileDrag = createStartFileDrag(native);
entry.writeFileFromStream = writeFileFromStream;
entry.windowNumberOf = windowNumberOf;
entry.acceptFileDrops = acceptFileDrops;

module.exports = entry;
