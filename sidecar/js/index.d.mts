// Type declarations for the ES module entry of kestrovan-drag-dropzone-sidecar.
export * from './index.js';
declare const sidecar: typeof import('./index.js');
export default sidecar;
