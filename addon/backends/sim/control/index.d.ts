// Type declarations for kestrovan-desktop-sim, the control module of the
// simulated desktop that the Linux build of kestrovan-file-promise-drag runs on.
// Coordinates follow AppKit: screen space with the origin at the bottom left
// and y growing up; window coordinates relative to the window's frame.

export interface Point { x: number; y: number }
export interface Rect { x: number; y: number; width: number; height: number }

/** A view of a window's view tree, as the desktop is to build it. Children are ordered back to front. */
export interface ViewDescription {
  /** Name to address the view by; the desktop names it when absent. */
  id?: string;
  /** NSStringFromClass of the view; "NSView" by default. The host's web view is "RenderWidgetHostViewCocoa". */
  className?: string;
  /** In the superview's coordinates. A content view without a frame fills its window. */
  frame?: Rect;
  boundsOrigin?: Point;
  hidden?: boolean;
  /** Regions (in the view's own coordinates) where hit-testing yields `dragRegionHit`, as a host's drag regions do. */
  dragRegions?: Rect[];
  /** "none" (no view; the default), "contentView" (the window's content view) or "self". */
  dragRegionHit?: 'none' | 'contentView' | 'self';
  children?: ViewDescription[];
}

/** How createWindow makes a window. */
export interface WindowOptions {
  /** The window number; the desktop numbers windows from 101 when absent. */
  number?: number;
  /** In screen coordinates. */
  frame: Rect;
  /** The content view; a plain view filling the window when absent; `null` for none. */
  contentView?: ViewDescription | null;
  key?: boolean;
  main?: boolean;
}

export interface WindowInfo {
  number: number;
  frame: Rect;
  /** The content view's id, or null. */
  contentView: string | null;
  /** The id of the frame view (class "NSThemeFrame") that holds the content view. */
  frameView: string;
}

/** AppKit's raw NSEventType values the desktop uses. */
export declare const EventType: Readonly<{
  leftMouseDown: 1; leftMouseUp: 2; rightMouseDown: 3; rightMouseUp: 4; mouseMoved: 5;
  leftMouseDragged: 6; keyDown: 10; scrollWheel: 22; otherMouseDown: 25; otherMouseUp: 26; swipe: 31;
}>;

/** An event, as sendEvent and setCurrentEvent are to make it. */
export interface EventDescription {
  type: number;
  /** The window number the event belongs to; none when absent. */
  window?: number | null;
  /** In the window's coordinates (screen coordinates without a window). */
  location?: Point;
  modifierFlags?: number;
  deltaX?: number;
  buttonNumber?: number;
}

export interface DispatchResult {
  /** The event's serial number, as recorded in view deliveries. */
  event: number;
  /** True when a running drag took it (its left-mouse-dragged and left-mouse-up events): no monitor or view saw it. */
  takenByDrag: boolean;
  /** True when a local monitor returned none. */
  dropped: boolean;
  /** The id of the view normal dispatch reached, or null. */
  deliveredTo: string | null;
}

export interface EventDelivery {
  event: number;
  type: number;
  /** "dispatch" (normal delivery to the hit view) or "scrollWheel:" (sent to the view directly). */
  via: 'dispatch' | 'scrollWheel:';
}

// ---- Drags ------------------------------------------------------------------

/** NSDragOperation's raw values a drag may end with. */
export type DragOperation = number;

/** A promised item as its file-promise provider carries it. */
export interface DraggedPromiseItem {
  promiseId: string;
  kind: 'file' | 'directory';
  suggestedName: string;
  fileType: string;
  filePath: string | null;
}

/** One dragging item of a running drag. */
export type DraggingItemInfo = {
  /** The dragging frame in the source view's coordinates; null if none was set. */
  draggingFrame: Rect | null;
  /** The shown image, named by identity (two items showing one image name it alike); null for none. */
  image: string | null;
} & (
  | { writer: 'fileURL'; path: string }
  | {
      writer: 'filePromise';
      /** The provider's file type. */
      fileType: string;
      /** The provider's kestrovanItem, or null. */
      item: DraggedPromiseItem | null;
      /** True when the provider's (weak) delegate is the drag's source. */
      delegateIsSource: boolean;
    }
  | { writer: null }
);

/** A drag begun with beginDraggingSessionWithItems:event:source: and not yet ended. */
export interface DragInfo {
  id: number;
  /** The source view's window and the view's id. */
  window: number;
  view: string;
  /** The event the drag was begun from; `madeByApplication` for one made with mouseEventWithType:. */
  event: {
    serial: number;
    type: number;
    /** The window number it was made for (0 for none). */
    window: number;
    /** In the window's coordinates. */
    location: Point;
    modifierFlags: number;
    /** Seconds of system uptime. */
    timestamp: number;
    eventNumber: number;
    clickCount: number;
    pressure: number;
    madeByApplication: boolean;
  };
  animatesToStartingPositionsOnCancelOrFail: boolean;
  /** What the source answered when the drag began; `alive` while the session behind it exists. */
  source: {
    operationMaskOutsideApplication: number;
    operationMaskWithinApplication: number;
    ignoreModifierKeys: boolean;
    alive: boolean;
  };
  items: DraggingItemInfo[];
  /** The first item's image, as in `items`. */
  image: string | null;
}

// ---- Drop targets and published progress ------------------------------------

/** The error a drop target received: an NSError's domain, code and localized description. */
export interface DropError {
  success: false;
  domain: string;
  code: number;
  description: string;
}

/** What a drop target saw for one destination. */
export interface DropOutcome {
  id: number;
  /** The drop (or foreign request) it belongs to. */
  drop: number;
  /** "folder" (the Finder-like target), or a request through a provider the addon did not make. */
  target: 'folder' | 'foreignProvider' | 'emptyProvider';
  /** "promise": a write request through the drag's source; "fileURL": a cached file the target copied. */
  source: 'promise' | 'fileURL';
  /** The absolute path inside the target's directory. */
  destination: string;
  /** The name the target gave it (the asked name, made free). */
  fileName: string;
  /** The promised item's promiseId, or null. */
  promiseId: string | null;
  /** How often its completion handler was called (a copy counts once); more than 1 is also a violation. */
  answers: number;
  /** The first answer, or null while the write is open. */
  outcome: { success: true } | DropError | null;
  /** Whether the destination existed when the first answer came. */
  existedWhenAnswered: boolean;
  /** The write request found the provider's (weak) delegate gone and asked nothing. */
  delegateGone: boolean;
  /** The live main-queue turn (liveTurn()) in which the handler was first called; null outside every live turn or when unanswered. */
  answeredInLiveTurn: number | null;
}

export interface DropResult {
  drop: number;
  /** One per dragged item, in order, as recorded now (promises still open). */
  outcomes: DropOutcome[];
}

export interface FolderDropOptions {
  /** Seconds after the drop at which the write requests are made (0: the next turn of the main queue). */
  requestDelay?: number;
  /** False keeps the drag running (end it with endDrag); true by default. */
  endDrag?: boolean;
}

/** A published file progress (NSProgress), as observers of published progress see it. */
export interface PublishedProgress {
  id: number;
  /** file:// URL of the destination. */
  fileURL: string;
  kind: string;
  fileOperationKind: string;
  cancellable: boolean;
  pausable: boolean;
  totalUnitCount: number;
  completedUnitCount: number;
  published: boolean;
  /** Unpublished after having been published. */
  withdrawn: boolean;
  /** Every completed count set, in order. */
  completedHistory: number[];
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

/** An item of another application's drag (beginIncomingDrag). */
export type IncomingItem =
  | { kind: 'file'; path: string }
  | {
      kind: 'promise';
      name?: string;
      contents?: string;
      /** Seconds on the virtual clock before the source answers. */
      delay?: number;
      error?: string | null;
      never?: boolean;
      progress?: number[];
      linkTo?: string;
    };

export interface IncomingDragPlace {
  target: 'zone' | 'webContents' | 'nothing';
  /** The zone's id, for target 'zone'. */
  zone: number | null;
}

export interface WebContentsDragEvent {
  drag: number;
  type: 'enter' | 'move' | 'exit' | 'drop';
  x: number;
  y: number;
  items: Array<{ kind: 'file' | 'promise'; name: string; path: string | null }>;
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
  readonly EventType: typeof EventType;

  /** Forgets windows, views, buttons, the mouse, the current event, the log, violations and haptic requests. Monitors, the main queue and the clock stay. */
  reset(): void;

  createWindow(options: WindowOptions): WindowInfo;
  windowInfo(number: number): WindowInfo;
  windowNumbers(): number[];
  closeWindow(number: number): void;
  /** Replaces the content view; `null` removes it. */
  setContentView(number: number, content: ViewDescription | null | undefined): WindowInfo;
  setKeyWindow(number: number | null): void;
  setMainWindow(number: number | null): void;
  setViewProperties(id: string, properties: { hidden?: boolean; frame?: Rect; className?: string }): void;
  viewDeliveries(id: string): EventDelivery[];
  /** The frontmost window under a screen point, or null. */
  windowAt(x: number, y: number): number | null;

  setApplicationActive(active: boolean): void;
  /** Without a shared application object the addon must fail softly. */
  setApplicationPresent(present: boolean): void;

  moveMouse(x: number, y: number): void;
  mouseLocation(): Point;
  setPressedButtons(mask: number): void;
  pressedButtons(): number;

  /** Sends an event through the local monitors, then to its window's hit view. */
  sendEvent(event: EventDescription): DispatchResult;
  /** The event the application is handling, as seen by code called now; null for none. */
  setCurrentEvent(event: EventDescription | null): number | undefined;
  /** Makes NSEvent's mouse-event constructor fail, as it may. */
  refuseMouseEventCreation(refuse: boolean): void;
  monitors(): { id: number; mask: number }[];

  /** Presses a button (0 left, 1 right, 2 middle, 3 back, 4 forward) at the mouse location. */
  mouseDown(options?: { button?: number; window?: number; modifierFlags?: number }): DispatchResult;
  /** Releases a button; a left release goes to the window that got the press. */
  mouseUp(options?: { button?: number; window?: number; modifierFlags?: number }): DispatchResult;
  /** Moves the mouse; with the left button held, a left-mouse-dragged event goes to the window that got the press. */
  moveMouseTo(x: number, y: number, options?: { modifierFlags?: number }): DispatchResult | null;
  scroll(options?: { window?: number }): DispatchResult;
  swipe(deltaX: number, options?: { window?: number }): DispatchResult;

  /** Runs the main-queue blocks due now; returns how many ran. */
  runMainQueue(): number;
  /** Moves the virtual clock, running each block when its time comes; returns how many ran. */
  advanceClock(seconds: number): number;
  runFor(seconds: number): number;
  now(): number;
  /** Due times of the blocks still queued. */
  pendingBlocks(): number[];

  /** The diagnostic lines, each with its tag. */
  log(): string[];
  clearLog(): void;
  /** Whether lines also go to standard error in NSLog's shape (they do by default). */
  setLogEcho(echo: boolean): void;

  // Drags.
  /** The running drags, oldest first. */
  drags(): DragInfo[];
  /**
   * Ends a running drag: it is over, then its source hears
   * draggingSession:endedAtPoint:operation: with the screen point and operation
   * (0 cancels). Throws for an unknown id.
   */
  endDrag(id: number, screenPoint: Point, operation: DragOperation): void;
  /** Ends every running drag at the mouse location (or `at`); returns how many ended. */
  endAllDrags(options?: { operation?: DragOperation; at?: Point }): number;

  // Drop targets.
  /**
   * Drops a running drag (by id; null for the newest) on a Finder-like window
   * showing `directory` (which must exist) at a screen point. Each promised
   * item is asked for its file name and operation queue, and its write request
   * is made on that queue (the main queue: it runs when the main queue runs)
   * with a free name in the directory ("name 2.ext", "name 3.ext", ... when
   * taken); a cached file is copied there at once. The drag then ends with
   * the copy operation at the point.
   */
  dropOnFolder(dragIdOrLatest: number | null, directory: string, screenPoint: Point, options?: FolderDropOptions): DropResult;
  /**
   * Asks a running drag's source for a write to a free name in `directory`
   * through a provider the addon did not make: another NSFilePromiseProvider
   * ("foreign", the default) or a KestrovanFilePromiseProvider carrying no
   * item. The request runs when the main queue runs; the drag keeps running.
   */
  requestWriteThroughForeignProvider(dragIdOrLatest: number | null, directory: string, options?: { provider?: 'foreign' | 'withoutItem' }): DropResult;
  /** Every outcome recorded since clearDropOutcomes(), oldest first. */
  dropOutcomes(): DropOutcome[];
  clearDropOutcomes(): void;

  // Drags from other applications into the application's windows (acceptFileDrops).
  /**
   * Starts another application's drag carrying `items`; its id. A promised
   * item's source, when the drop asks for it, starts writing "<folder>/<name>"
   * in a later turn of the main queue, publishes `progress` spread over
   * `delay` (seconds on the virtual clock), then fails with `error`, or writes
   * `contents` and reports the path, or never answers (`never`). With
   * `linkTo` it first makes "<folder>/<name>" a symbolic link to that path.
   */
  beginIncomingDrag(items: IncomingItem[]): number;
  /**
   * Moves the drag to a point of a window's content (points, origin at the
   * top left): over the topmost zone holding it, else the window's web
   * contents; outside the content, over nothing. Leaving one for another is an
   * exit and an enter. Throws for an unknown drag or window.
   */
  moveIncomingDrag(dragId: number, windowNumber: number, point: Point): IncomingDragPlace;
  /** Drops it where it is (a zone, the web contents, or nothing) and ends it. */
  dropIncomingDrag(dragId: number): IncomingDragPlace;
  /** Ends it without a drop: whatever it is over hears it leave. */
  cancelIncomingDrag(dragId: number): void;
  /** The drop zones open now, oldest first (rects in content points, top left). */
  dropZones(): Array<{ id: number; window: number; rect: Rect }>;
  /** What a window's web contents received of incoming drags, oldest first. */
  webContentsDragEvents(windowNumber: number): WebContentsDragEvent[];
  /** Receipts whose sources never answer, held until the reset. */
  unansweredReceipts(): number;

  // Published progress.
  /** Every progress the addon made since clearProgressHistory(), oldest first. */
  progresses(): PublishedProgress[];
  /** The progress objects published now. */
  publishedProgress(): PublishedProgress[];
  /** Forgets the progress objects no longer published. */
  clearProgressHistory(): void;

  /** What AppKit would have refused; empty when all went well. */
  violations(): string[];
  clearViolations(): void;
  /**
   * Makes the calling thread the application's main thread (NSThread
   * isMainThread answers true there only). The process's initial thread is
   * the main thread until a thread calls this; a worker that calls it stands
   * for the host's main thread, so its environment can end while the process
   * lives on. Call it again from the initial thread afterwards.
   */
  setMainThread(): void;
  /**
   * AppKit calls, by selector, that raise an Objective-C exception (name
   * "NSInvalidArgumentException", reason "simulated: <selector> raised") until
   * the list is changed or the desktop reset, as AppKit raises on input it does
   * not accept. Known: "initWithFileType:delegate:", "initWithPasteboardWriter:",
   * "setDraggingFrame:contents:", "beginDraggingSessionWithItems:event:source:",
   * "lockFocus", "initWithContentsOfFile:", "iconForContentType:",
   * "addLocalMonitorForEventsMatchingMask:handler:" and
   * "mouseEventWithType:location:modifierFlags:timestamp:windowNumber:context:eventNumber:clickCount:pressure:".
   */
  setRaisingCalls(selectors: string[]): void;
  /**
   * Live mode: blocks posted for now run by themselves from the event loop
   * (a libuv handle), each turn a callback of the loop with no JavaScript on
   * the stack, as AppKit's run loop runs the main queue. The clock still moves
   * only with advanceClock(); runMainQueue() still works. Off by default.
   */
  setLiveMainQueue(live: boolean): void;
  /** The number of the live main-queue turn running now (from 1); 0 outside every turn. */
  liveTurn(): number;
  /** Whether the calling thread is the application's main thread. */
  isMainThread(): boolean;

  // ---- Input: haptic feedback and local monitors ----

  /** The haptic feedback requests made so far, oldest first. `reset()` clears them. */
  hapticRequests(): HapticRequest[];
  clearHapticRequests(): void;
  /** While true, adding a local event monitor gives no token, as AppKit may. `reset()` clears it. */
  refuseMonitorCreation(refuse: boolean): void;
}

/** One request to the haptic feedback performer. */
export interface HapticRequest {
  /** AppKit's NSHapticFeedbackPattern: 0 generic, 1 alignment, 2 level change. */
  pattern: number;
  /** AppKit's NSHapticFeedbackPerformanceTime: 0 default, 1 now, 2 when drawing completes. */
  performanceTime: number;
  /** The virtual clock's time (`now()`) when it was made. */
  time: number;
}

/**
 * Loads the control module: the package's (or a clone's local build), or the
 * binary at `binaryPath`. The simulated desktop exists on Linux only: without
 * `binaryPath`, anywhere else (macOS included) it throws an Error saying so.
 */
export function load(binaryPath?: string): Desktop;

/** @deprecated The former name of ViewDescription. */
export type ViewSpec = ViewDescription;
/** @deprecated The former name of WindowOptions. */
export type WindowSpec = WindowOptions;
/** @deprecated The former name of EventDescription. */
export type EventSpec = EventDescription;
