'use strict';
// kestrovan-file-promise-drag: the native module's eight functions, handed on
// unchanged. They answer booleans and never throw of their own.
module.exports = require(require('./binding').findBinary('kestrovan_file_promise_drag'));
