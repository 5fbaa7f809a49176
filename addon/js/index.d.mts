// Type declarations for the ES module entry of kestrovan-file-promise-drag:
// the same names as the CommonJS entry, and the module object as the default.
export * from './index.js';
declare const addon: typeof import('./index.js');
export default addon;
