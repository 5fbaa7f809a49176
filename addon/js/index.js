'use strict';
// kestrovan-file-promise-drag: the native module's eight functions, handed on
// unchanged (the very function objects; they answer booleans and never throw
// of their own), and the helpers written on them in JavaScript.
const native = require(require('./binding').findBinary('kestrovan_file_promise_drag'));
const { createStartFileDrag } = require('./start_file_drag');
const { writeFileFromStream } = require('./write_file_from_stream');

const entry = {};
for (const name of Object.getOwnPropertyNames(native)) entry[name] = native[name];
entry.startFileDrag = createStartFileDrag(native);
entry.writeFileFromStream = writeFileFromStream;

module.exports = entry;
