/** The absolute path of the dropzone sidecar executable for this platform; throws when the package has none. */
export function sidecarPath(): string;
