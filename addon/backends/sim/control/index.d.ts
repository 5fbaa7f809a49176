// Types for kestrovan-desktop-sim, the control module of the simulated desktop.

export interface Rect {
  x: number;
  y: number;
  width: number;
  height: number;
}

export interface Size {
  width: number;
  height: number;
}

// ---------------------------------------------------------------------------
// Images: what canvases drew, and the rasters.

/** "file": loaded from a PNG file; "icon": a system icon for a content type; "canvas": drawn. */
export type ImageKind = 'file' | 'icon' | 'canvas';

export interface ImageSummary {
  id: number;
  kind: ImageKind;
  /** In points. A file image's size is its size in pixels. */
  size: Size;
  /** kind "file": the path it was loaded from. */
  path?: string;
  /** kind "icon": the content type it shows (public.data for a type the desktop does not know). */
  typeIdentifier?: string;
}

/** whiteColor, blackColor, controlAccentColor (#007AFF here), with an alpha component. */
export interface DrawingColor {
  name: 'white' | 'black' | 'controlAccent';
  alpha: number;
}

/** The system font with monospaced digits, rendered with DejaVu Sans Bold. */
export interface DrawingFont {
  name: 'system';
  size: number;
  weight: 'bold';
  monospacedDigits: true;
  renderedWith: string;
}

/** One rounded rectangle of the clip in effect. */
export interface ClipShape {
  rect: Rect;
  xRadius: number;
  yRadius: number;
}

interface OperationBase {
  /** The clip in effect when the operation ran (every shape applies); empty for none. */
  clip: ClipShape[];
  /** How many graphics states were saved when the operation ran. */
  savedStates: number;
}

export type CanvasOperation = OperationBase &
  (
    | { kind: 'saveGraphicsState' | 'restoreGraphicsState' }
    | { kind: 'clip'; rect: Rect; xRadius: number; yRadius: number }
    | {
        kind: 'drawImage';
        /** The destination rectangle. */
        rect: Rect;
        image: ImageSummary;
        method: 'drawInRect:' | 'drawInRect:fromRect:operation:fraction:';
        /** The source rectangle as passed (empty: the whole image); null for drawInRect:. */
        source: Rect | null;
        operation: 'sourceOver';
        fraction: number;
      }
    | { kind: 'fillRoundedRect'; rect: Rect; xRadius: number; yRadius: number; color: DrawingColor }
    | {
        kind: 'strokeRoundedRect';
        rect: Rect;
        xRadius: number;
        yRadius: number;
        color: DrawingColor;
        lineWidth: number;
      }
    | {
        kind: 'measureText';
        text: string;
        font: DrawingFont;
        color: DrawingColor;
        alignment: 'center';
        /** sizeWithAttributes:'s answer: advance width and line height. */
        measured: Size;
      }
    | {
        kind: 'drawText';
        rect: Rect;
        text: string;
        font: DrawingFont;
        color: DrawingColor;
        alignment: 'center';
      }
  );

export interface ImageDescription extends ImageSummary {
  /** kind "canvas": every operation in the order drawn. */
  operations?: CanvasOperation[];
}

export interface DesktopImages {
  /** The images canvases made since the last clearImages(), oldest first. */
  images(): ImageDescription[];
  /** The newest image a canvas made, or null. */
  lastImage(): ImageDescription | null;
  /** Any image the desktop knows by id; throws a TypeError for an unknown id. */
  image(id: number): ImageDescription;
  /** The raster as PNG bytes (a Node Buffer); canvases are painted at 4 pixels per point. */
  imagePng(id: number): Uint8Array;
  /** Forgets the canvas images. */
  clearImages(): void;
}

// ---------------------------------------------------------------------------

/**
 * The desktop. The sections above declare their functions; the other control
 * functions are reachable untyped until their sections are written.
 */
export interface Desktop extends DesktopImages {
  [control: string]: any;
}

export declare function load(binaryPath?: string): Desktop;
export declare const EventType: Readonly<Record<string, number>>;
