// kestrovan-file-promise-drag as an ES module: the same eight functions and
// helpers as the CommonJS entry (one native module, loaded once), as named
// exports and as the default export. Node cannot see the entry's names from
// CommonJS, so they are listed here.
import { createRequire } from 'module';

const require = createRequire(import.meta.url);
const addon = require('./index.js');

export const performAlignmentFeedback = addon.performAlignmentFeedback;
export const installDragRegionScrollForwarding = addon.installDragRegionScrollForwarding;
export const armPromiseDragOnWindowExit = addon.armPromiseDragOnWindowExit;
export const disarmPromiseDrag = addon.disarmPromiseDrag;
export const updatePromiseWriteProgress = addon.updatePromiseWriteProgress;
export const startPromiseDrag = addon.startPromiseDrag;
export const completePromiseWrite = addon.completePromiseWrite;
export const installNavigationEventMonitor = addon.installNavigationEventMonitor;
export const startFileDrag = addon.startFileDrag;
export const writeFileFromStream = addon.writeFileFromStream;
export const windowNumberOf = addon.windowNumberOf;
export const acceptFileDrops = addon.acceptFileDrops;
export default addon;
