// The ES module entry's declarations: named and default imports.
import sidecar, { startDropzoneSidecar, type DropzoneSidecarEvents } from '../../js/index.mjs';

const started = startDropzoneSidecar({
  trayFrame: { x: 0, y: 0, width: 24, height: 24 },
  primaryDisplayBounds: { x: 0, y: 0, width: 800, height: 600 },
});
started.on('outside-click', () => undefined);
const exit: DropzoneSidecarEvents['exit'] = [0, null];
const same: boolean = sidecar.startDropzoneSidecar === startDropzoneSidecar;
void [exit, same, started.stop()];
// @ts-expect-error an error listener gets an error
started.on('error', (error: number) => void error);
