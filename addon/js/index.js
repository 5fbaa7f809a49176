'use strict';
// kestrovan-file-promise-drag: the native module's eight functions, handed on
// unchanged (the very function objects, with the attributes the native table
// gives them; they answer booleans and never throw of their own), and beside
// them the helpers written on them in JavaScript, held the same way: read-only,
// not enumerable, not configurable.
const native = require(require('./binding').findBinary('kestrovan_file_promise_drag'));
const { createStartFileDrag } = require('./start_file_drag');
const { writeFileFromStream } = require('./write_file_from_stream');
const { windowNumberOf } = require('./window_number');

const entry = Object.defineProperties({}, Object.getOwnPropertyDescriptors(native));
const helpers = {
  startFileDrag: createStartFileDrag(native),
  writeFileFromStream,
  windowNumberOf,
};
for (const name of Object.keys(helpers)) {
  Object.defineProperty(entry, name, { value: helpers[name], writable: false, enumerable: false, configurable: false });
}

module.exports = entry;
