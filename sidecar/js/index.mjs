// kestrovan-drag-dropzone-sidecar as an ES module: the CommonJS entry's
// functions as named exports, and its module object as the default export.
import { createRequire } from 'module';

const require = createRequire(import.meta.url);
const sidecar = require('./index.js');

export const sidecarPath = sidecar.sidecarPath;
export const startDropzoneSidecar = sidecar.startDropzoneSidecar;
export default sidecar;
