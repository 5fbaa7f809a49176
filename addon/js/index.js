'use strict';
// kestrovan-file-promise-drag: the native module's eight functions, handed on
// unchanged (they answer booleans and never throw of their own), and beside
// them the helpers written in JavaScript on top of them.
const native = require(require('./binding').findBinary('kestrovan_file_promise_drag'));

for (const name of Object.getOwnPropertyNames(native)) module.exports[name] = native[name];
module.exports.windowNumberOf = require('./window_number').windowNumberOf;
