// Type declarations for kestrovan-drag-dropzone-sidecar.

/**
 * The absolute path of the dropzone sidecar program for this platform, to pass
 * to `child_process.spawn`. Inside a packaged Electron app whose package sits
 * in app.asar, the path in app.asar.unpacked (where the program must be
 * unpacked to be started). Throws an Error saying where it looked when the
 * package has no program for this platform, or when it is inside the archive
 * but was not unpacked.
 */
export function sidecarPath(): string;
