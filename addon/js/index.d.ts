// Type declarations for kestrovan-file-promise-drag.
//
// Every function answers with a boolean and never throws of its own (an
// exception thrown by one of your callbacks while the addon is calling it
// still reaches you). Call them only from the Electron main process's main
// thread.

/** One promised file or folder of a drag. */
export interface PromiseDragItem {
  /** Your identifier of this file; never empty. Sent back with its write request. */
  promiseId: string;
  /** Exactly "file" or "directory" (case-sensitive). */
  kind: 'file' | 'directory';
  /** The file or folder name the drop target creates; never empty. */
  suggestedName: string;
  /**
   * Path of an existing local copy. When given (and not empty) the item is
   * dragged as that file and no write request is ever made for it.
   */
  filePath?: string;
}

/** The request passed to startPromiseDrag. */
export interface PromiseDragRequest {
  /** Identifier of this drag; non-empty. Sent back with every write request. */
  sessionId: string;
  /** At least one item. */
  items: PromiseDragItem[];
  /** The source window's number; the key window (then the main window) when absent or unknown. */
  windowNumber?: number;
  /** An image file shown as the drag icon; the system icon of the first item's type when absent, empty or unreadable. */
  iconPath?: string;
}

/** What your write callback receives when a drop target asks for a promised file. */
export interface PromiseWriteRequest {
  sessionId: string;
  promiseId: string;
  /** Where to write the file (or create the folder). */
  destinationPath: string;
  destinationKind: 'file' | 'directory';
  /** Pass to updatePromiseWriteProgress and, once, to completePromiseWrite. */
  completionToken: string;
}

/** Called in a later turn of the main queue for each promised file a drop target asks for. Its result is ignored. */
export type PromiseWriteCallback = (request: PromiseWriteRequest) => unknown;

/** Called once, with no arguments, when the cursor leaves the armed window with the left button held. */
export type WindowExitCallback = () => unknown;

/** "back" or "forward". Return exactly `true` to consume the event. */
export type NavigationCallback = (direction: 'back' | 'forward') => unknown;

/** Plays the haptic alignment feedback; false when not on the main thread or the application is not active. */
export function performAlignmentFeedback(): boolean;

/** Forwards scroll-wheel events over drag regions to the web view underneath; true once installed. */
export function installDragRegionScrollForwarding(): boolean;

/**
 * Arms a one-shot trigger: `callback` runs when the cursor, with the left
 * button held, leaves the window's content view (at once, before this returns,
 * when it is already outside). Releasing the button disarms it.
 */
export function armPromiseDragOnWindowExit(windowNumber: number, callback: WindowExitCallback): boolean;

/** Cancels any arming without calling its callback. Always true. */
export function disarmPromiseDrag(): boolean;

/** Sets an open write's progress, 0 to 1 (clamped). True when an open write holds the token. */
export function updatePromiseWriteProgress(completionToken: string, fractionCompleted: number): boolean;

/** Begins a drag of promised files while the left button is held. True once the drag has begun. */
export function startPromiseDrag(request: PromiseDragRequest, writeCallback: PromiseWriteCallback): boolean;

/**
 * Ends an open write: success without a message (or with an empty one), or a
 * failure whose message the drop target receives. True when an open write held the token.
 */
export function completePromiseWrite(completionToken: string, errorMessage?: string): boolean;

/** Registers the navigation callback (replacing an earlier one) and installs its monitor. */
export function installNavigationEventMonitor(callback: NavigationCallback): boolean;
