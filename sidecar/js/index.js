'use strict';
// kestrovan-drag-dropzone-sidecar: where the dropzone sidecar program is
// (sidecarPath), and the program started and heard as events
// (startDropzoneSidecar).
const { sidecarPath } = require('./sidecar_path');
const { startDropzoneSidecar } = require('./dropzone_sidecar');

module.exports = { sidecarPath, startDropzoneSidecar };
