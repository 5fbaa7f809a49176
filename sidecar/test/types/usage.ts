// Type-checked against the package's declarations (never run): what an
// Electron main process does with the sidecar, and what it must not be able to do.
import { sidecarPath, startDropzoneSidecar } from '../../js/index';
import type { DropzoneSidecar, DropzoneSidecarError, SidecarExit } from '../../js/index';

const tray = { x: 1200, y: 0, width: 24, height: 30 };
const sidecar: DropzoneSidecar = startDropzoneSidecar({
  trayFrame: tray,
  dropzoneFrame: { x: 1000, y: 40, width: 300, height: 200 },
  dropzonePadding: 20,
  zoneSize: 100,
  primaryDisplayBounds: { x: 0, y: 0, width: 1440, height: 900 },
  executable: sidecarPath(),
});
startDropzoneSidecar({ trayFrame: tray, dropzoneFrame: null });

const pid: number | undefined = sidecar.pid;
sidecar
  .on('drag-enter', () => undefined)
  .once('drag-exit', () => undefined)
  .on('outside-click', () => undefined)
  .on('error', (error: DropzoneSidecarError) => {
    const reason: 'spawn-failed' | 'command-line-rejected' | 'unexpected-exit' = error.reason;
    const line: string | undefined = error.line;
    void [reason, line, error.message, error.exitCode, error.signal, error.code];
  })
  .on('exit', (code: number | null, signal: string | null) => void [code, signal]);
const onEnter = (): void => undefined;
sidecar.off('drag-enter', onEnter).removeAllListeners('exit');
const count: number = sidecar.listenerCount('error');
const stopped: Promise<SidecarExit> = sidecar.stop();
stopped.then(({ code, signal }) => void [code, signal]);
void [pid, count];

// @ts-expect-error no such event
sidecar.on('drop', () => undefined);
// @ts-expect-error 'drag-enter' carries no argument
sidecar.on('drag-enter', (what: string) => void what);
// @ts-expect-error the exit code is a number or null
sidecar.on('exit', (code: string) => void code);
// @ts-expect-error the tray frame is required
startDropzoneSidecar({ zoneSize: 10 });
// @ts-expect-error a frame's numbers are numbers
startDropzoneSidecar({ trayFrame: { x: '1', y: 0, width: 1, height: 1 } });
// @ts-expect-error stop() takes no signal
sidecar.stop('SIGKILL');
