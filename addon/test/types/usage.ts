// Type-checked against the package's declarations (never run): the calls an
// Electron main process makes, and a few it must not be able to make.
import * as drag from '../../js/index';
import type { FileWrite, PromiseDragEnded, PromiseDragRequest, PromiseWriteRequest } from '../../js/index';
import { load } from '../../backends/sim/control/index';
import type {
  DropOutcome,
  EventDescription,
  EventSpec,
  PublishedProgress,
  ViewDescription,
  ViewSpec,
  WindowOptions,
  WindowSpec,
} from '../../backends/sim/control/index';

const request: PromiseDragRequest = {
  sessionId: 'drag-1',
  windowNumber: 42,
  iconPath: '/tmp/icon.png',
  items: [
    { promiseId: 'a', kind: 'file', suggestedName: 'report.pdf' },
    { promiseId: 'b', kind: 'directory', suggestedName: 'Photos' },
    { promiseId: 'c', kind: 'file', suggestedName: 'cached.txt', filePath: '/tmp/cached.txt' },
  ],
};

const started: boolean = drag.startPromiseDrag(request, (write: PromiseWriteRequest) => {
  const path: string = write.destinationPath;
  const kind: 'file' | 'directory' = write.destinationKind;
  drag.updatePromiseWriteProgress(write.completionToken, 0.5);
  drag.completePromiseWrite(write.completionToken);
  drag.completePromiseWrite(write.completionToken, `could not write ${path} (${kind})`);
});

const armed: boolean = drag.armPromiseDragOnWindowExit(42, () => {
  drag.startPromiseDrag(request, () => undefined);
});
const disarmed: boolean = drag.disarmPromiseDrag();
const navigation: boolean = drag.installNavigationEventMonitor((direction) => direction === 'back');
const scrolling: boolean = drag.installDragRegionScrollForwarding();
const feedback: boolean = drag.performAlignmentFeedback();
// The window number of an Electron BrowserWindow (anything else answers 0).
const windowNumber: number = drag.windowNumberOf({ getMediaSourceId: () => 'window:42:0' });
drag.startPromiseDrag({ ...request, windowNumber: drag.windowNumberOf(undefined) }, () => {});
void [started, armed, disarmed, navigation, scrolling, feedback, windowNumber];

// The end of the drag: the operation (0 when nothing accepted it) and the point.
drag.startPromiseDrag({ ...request, onEnded: (ended: PromiseDragEnded) => {
  const dropped: boolean = ended.operation !== 0;
  const x: number = ended.screenPoint.x + ended.screenPoint.y;
  void [dropped, x];
} }, () => {});
drag.startPromiseDrag({ ...request, onEnded: undefined }, () => {});
// @ts-expect-error onEnded is a function
drag.startPromiseDrag({ ...request, onEnded: 'done' }, () => {});
// @ts-expect-error onEnded receives the ended drag, not a string
drag.startPromiseDrag({ ...request, onEnded: (ended: string) => ended }, () => {});
// @ts-expect-error kind is exactly "file" or "directory"
drag.startPromiseDrag({ sessionId: 's', items: [{ promiseId: 'p', kind: 'folder', suggestedName: 'x' }] }, () => {});
// @ts-expect-error the write callback is required
drag.startPromiseDrag(request);
// @ts-expect-error the navigation direction is "back" or "forward"
drag.installNavigationEventMonitor((direction: 'up') => direction);
// @ts-expect-error windowNumberOf answers a number
const notText: string = drag.windowNumberOf(null);
// @ts-expect-error a BrowserWindow's id is Electron's own counter, not a window: pass the window
drag.windowNumberOf(7);
// @ts-expect-error an object without getMediaSourceId is no window
drag.windowNumberOf({ id: 7 });
// @ts-expect-error a token is a string
drag.completePromiseWrite(7);
void notText;

// The write helper: an async writer, progress, the signal where the runtime has one.
const helped: boolean = drag.startFileDrag(request, async (write: FileWrite) => {
  const kind: 'file' | 'directory' = write.kind;
  const name: string = write.suggestedName;
  const taken: boolean = write.progress(0.5);
  const aborted: boolean = write.signal !== undefined && write.signal.aborted;
  const signal: AbortSignal | undefined = write.signal;
  void [kind, name, taken, aborted, signal];
  const response = await fetch(`https://files.example.com/${write.promiseId}`, { signal });
  const bytes: number = await drag.writeFileFromStream(write.destinationPath, response, { progress: write.progress, signal });
  const chunks = async function* () {
    yield new Uint8Array([1, 2]);
  };
  await drag.writeFileFromStream(write.destinationPath, chunks(), { size: 2 });
  await drag.writeFileFromStream(write.destinationPath, new ReadableStream<Uint8Array>(), {});
  void bytes;
});
drag.startFileDrag(request, () => undefined);
// @ts-expect-error the writer is required
drag.startFileDrag(request);
// @ts-expect-error a fraction is a number
drag.startFileDrag(request, (write) => write.progress('0.5'));
void helped;
// @ts-expect-error a size is a number of bytes
void drag.writeFileFromStream('/tmp/a', new ReadableStream(), { size: '2' });
// @ts-expect-error a plain array is not a stream
void drag.writeFileFromStream('/tmp/a', [new Uint8Array(1)]);

// The simulated desktop's drop targets and published progress.
const desktop = load();
const drop = desktop.dropOnFolder(null, '/tmp/out', { x: 0, y: 0 }, { requestDelay: 1, endDrag: false });
const firstOutcome: DropOutcome = drop.outcomes[0];
const answered: boolean = firstOutcome.outcome !== null && firstOutcome.answers === 1;
const refused = desktop.requestWriteThroughForeignProvider(drop.drop, '/tmp/out', { provider: 'withoutItem' });
const description: string | undefined =
  refused.outcomes[0].outcome && !refused.outcomes[0].outcome.success ? refused.outcomes[0].outcome.description : undefined;
const published: PublishedProgress[] = desktop.publishedProgress();
const history: number[] = desktop.progresses()[0].completedHistory;
// @ts-expect-error the provider is "foreign" or "withoutItem"
desktop.requestWriteThroughForeignProvider(null, '/tmp/out', { provider: 'other' });
void [answered, description, published, history];

// Windows, views and events as a test describes them; the former *Spec names
// still name the same types.
const page: ViewDescription = { id: 'page', className: 'RenderWidgetHostViewCocoa', dragRegions: [{ x: 0, y: 0, width: 10, height: 10 }] };
const options: WindowOptions = { frame: { x: 0, y: 0, width: 800, height: 600 }, contentView: { children: [page] }, key: true };
const simWindow: number = desktop.createWindow(options).number;
const press: EventDescription = { type: desktop.EventType.leftMouseDown, window: simWindow, location: { x: 5, y: 5 } };
desktop.sendEvent(press);
desktop.setCurrentEvent(null);
const formerView: ViewSpec = page;
const formerWindow: WindowSpec = options;
const formerEvent: EventSpec = { type: 1 };
// @ts-expect-error a window needs its frame
desktop.createWindow({ key: true });
// @ts-expect-error an event needs its type
desktop.sendEvent({ window: simWindow });
void [formerView, formerWindow, formerEvent];

// Drops into a window: a zone over the page's dropzone element.
const zone: drag.FileDropZone = drag.acceptFileDrops({
  windowNumber: drag.windowNumberOf(null),
  rect: { x: 20, y: 40, width: 300, height: 200 },
  destination: '/tmp/drops',
  timeout: 30000,
});
zone.on('enter', () => {}).on('exit', () => {});
zone.on('drop', (dropped: drag.Drop) => {
  const folder: string | null = dropped.folder;
  for (const item of dropped.items) {
    const kind: 'file' | 'promise' = item.kind;
    item.path.then((received: string) => void [received, kind, folder], (error: Error) => void error.message);
  }
});
zone.on('progress', ({ name, fraction, path }: drag.DropProgress) => void [name, fraction, path]);
zone.on('close', ({ windowWentAway }) => void windowWentAway);
zone.setRect({ x: 0, y: 0, width: 10, height: 10 });
const isClosed: boolean = zone.closed;
zone.close();
void isClosed;
// @ts-expect-error the destination is required
drag.acceptFileDrops({ rect: { x: 0, y: 0, width: 1, height: 1 } });
// @ts-expect-error a drop's listener gets the drop
zone.on('drop', (dropped: number) => void dropped);

// Another application's drag into a zone, on the simulated desktop.
const incoming: number = desktop.beginIncomingDrag([
  { kind: 'promise', name: 'mail.eml', contents: 'x', delay: 1, progress: [0.5] },
  { kind: 'file', path: '/tmp/a.txt' },
]);
const place = desktop.moveIncomingDrag(incoming, simWindow, { x: 10, y: 10 });
const overZone: boolean = place.target === 'zone' && place.zone !== null;
desktop.dropIncomingDrag(incoming);
const seenByPage: string[] = desktop.webContentsDragEvents(simWindow).map((event) => event.type);
// @ts-expect-error an item is a file or a promise
desktop.beginIncomingDrag([{ kind: 'url', path: 'x' }]);
void [overZone, seenByPage];
