// Sim-only: builds view trees and reads each view's deliveries (the shared drag_region_scroll suite runs on
// every desktop).
// installDragRegionScrollForwarding: a scroll-wheel event that the window's
// hit-testing does not give to a real view (a drag region) is sent with
// scrollWheel: to the frontmost visible web view under the cursor and dropped
// from normal dispatch; anything else is left alone. The monitor lives for the
// process: a refused monitor is tried first, then every test runs with it.
import assert from 'node:assert/strict';
import { afterEach, before, beforeEach, describe, test } from 'node:test';

import { addon, desktop } from '../helpers.mjs';

const { EventType } = desktop;
const WEB = 'RenderWidgetHostViewCocoa';
const scrollMask = 0x400000;
const full = { x: 0, y: 0, width: 400, height: 300 };
// Two web views: 'wide' fills the window, 'left' (in front) covers 0..200 x 0..150.
const wideAndLeft = () => [
  { id: 'wide', className: WEB, frame: full },
  { id: 'left', className: WEB, frame: { x: 0, y: 0, width: 200, height: 150 } },
];

beforeEach(() => desktop.reset());
afterEach(() => assert.deepEqual(desktop.violations(), []));

/** A 400 x 300 window whose content view holds `children`; returns its number. */
function windowWith(children, contentExtra = {}) {
  return desktop.createWindow({
    frame: { x: 100, y: 100, ...{ width: 400, height: 300 } },
    contentView: { id: 'content', children, ...contentExtra },
  }).number;
}

function scrollAt(window, x, y) {
  return desktop.sendEvent({ type: EventType.scrollWheel, window, location: { x, y } });
}

/** Each named view's deliveries as "via" words. */
function deliveries(...ids) {
  return Object.fromEntries(ids.map((id) => [id, desktop.viewDeliveries(id).map((d) => d.via)]));
}

test('without a monitor token the call is false and a later call installs it', () => {
  desktop.refuseMonitorCreation(true);
  assert.equal(addon.installDragRegionScrollForwarding(), false);
  assert.deepEqual(desktop.monitors(), []);
  desktop.refuseMonitorCreation(false);
  assert.equal(addon.installDragRegionScrollForwarding(), true);
  assert.equal(addon.installDragRegionScrollForwarding(42, () => {}), true, 'arguments are ignored');
  assert.deepEqual(
    desktop.monitors().map((m) => m.mask),
    [scrollMask],
    'installed once',
  );
});

describe('with forwarding installed', () => {
  before(() => assert.equal(addon.installDragRegionScrollForwarding(), true));

  // The host's drag regions: hit-testing there yields the content view, or the
  // frame view when the content view itself yields none.
  const dragRegionOnPage = { dragRegions: [{ x: 0, y: 250, width: 400, height: 50 }], dragRegionHit: 'none' };
  const cases = [
    {
      name: 'a drag region on the page: hit-testing yields the content view',
      children: [{ id: 'page', className: WEB, frame: full, ...dragRegionOnPage }],
      at: [200, 280],
      to: 'page',
    },
    {
      name: 'a drag region on the content view yields the frame view',
      content: { dragRegions: [{ x: 0, y: 250, width: 400, height: 50 }], dragRegionHit: 'none' },
      children: [{ id: 'page', className: WEB, frame: full }],
      at: [200, 280],
      to: 'page',
    },
    {
      name: 'an overlay whose drag region answers the content view',
      children: [
        { id: 'page', className: WEB, frame: full },
        { id: 'bar', frame: { x: 0, y: 250, width: 400, height: 50 }, dragRegions: [{ x: 0, y: 0, width: 400, height: 50 }], dragRegionHit: 'contentView' },
      ],
      at: [10, 260],
      to: 'page',
    },
    {
      name: 'no web view under the drag region',
      children: [{ id: 'side', frame: full, ...dragRegionOnPage }],
      at: [200, 280],
      to: null,
    },
    {
      name: 'a hidden web view',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [{ id: 'page', className: WEB, frame: full, hidden: true }],
      at: [200, 100],
      to: null,
    },
    {
      name: 'a web view inside a hidden ancestor',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [{ id: 'holder', frame: full, hidden: true, children: [{ id: 'page', className: WEB, frame: full }] }],
      at: [200, 100],
      to: null,
    },
    {
      name: 'a web view beside the point',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [{ id: 'page', className: WEB, frame: { x: 0, y: 0, width: 100, height: 100 } }],
      at: [200, 200],
      to: null,
    },
    {
      name: 'of two overlapping web views the front one',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [
        { id: 'back', className: WEB, frame: full },
        { id: 'front', className: WEB, frame: { x: 100, y: 0, width: 300, height: 300 } },
      ],
      at: [150, 150],
      to: 'front',
    },
    {
      name: 'a web view nested in another wins over it',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [
        { id: 'outer', className: WEB, frame: full, children: [{ id: 'inner', className: WEB, frame: { x: 50, y: 50, width: 100, height: 100 } }] },
      ],
      at: [60, 60],
      to: 'inner',
    },
    {
      name: 'a point on the front view’s maximum X edge is outside it',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: wideAndLeft(),
      at: [200, 10],
      to: 'wide',
    },
    {
      name: 'a point on the front view’s maximum Y edge is outside it',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: wideAndLeft(),
      at: [10, 150],
      to: 'wide',
    },
    {
      name: 'just inside the maximum edges',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: wideAndLeft(),
      at: [199.5, 149.5],
      to: 'left',
    },
    {
      name: 'inside a scrolled container, by its bounds',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [
        {
          id: 'scroller',
          frame: full,
          boundsOrigin: { x: 0, y: 1000 },
          children: [{ id: 'page', className: WEB, frame: { x: 0, y: 1000, width: 400, height: 100 } }],
        },
      ],
      at: [10, 50],
      to: 'page',
    },
    {
      name: 'a class whose name only contains the web view’s does not match',
      content: { dragRegions: [full], dragRegionHit: 'none' },
      children: [{ id: 'page', className: `${WEB}Subclass`, frame: full }],
      at: [10, 10],
      to: null,
    },
  ];

  for (const { name, content = {}, children, at, to } of cases) {
    test(name, () => {
      const w = windowWith(children, content);
      const ids = [];
      const walk = (specs) => specs.forEach((s) => (ids.push(s.id), walk(s.children ?? [])));
      walk(children);
      const result = scrollAt(w, ...at);
      assert.equal(result.dropped, to !== null, 'dropped from normal dispatch exactly when forwarded');
      const expected = Object.fromEntries(ids.map((id) => [id, id === to ? ['scrollWheel:'] : []]));
      assert.deepEqual(deliveries(...ids), expected);
      if (to === null) {
        assert.notEqual(result.deliveredTo, null, 'an unforwarded event goes on to normal dispatch');
      }
    });
  }

  test('a scroll that hit-testing gives to a real view is left alone', () => {
    const w = windowWith([
      { id: 'page', className: WEB, frame: full, ...dragRegionOnPage },
      { id: 'button', frame: { x: 0, y: 250, width: 40, height: 50 } },
      { id: 'grip', frame: { x: 300, y: 250, width: 100, height: 50 }, dragRegions: [{ x: 0, y: 0, width: 100, height: 50 }], dragRegionHit: 'self' },
    ]);
    const cases = [
      { at: [200, 100], view: 'page' },
      { at: [10, 260], view: 'button' },
      { at: [350, 260], view: 'grip' },
    ];
    for (const { at, view } of cases) {
      const result = scrollAt(w, ...at);
      assert.equal(result.dropped, false);
      assert.equal(result.deliveredTo, view);
    }
    assert.deepEqual(deliveries('page', 'button', 'grip'), {
      page: ['dispatch'],
      button: ['dispatch'],
      grip: ['dispatch'],
    });
  });

  test('an event without a window, or a window without a content view, passes', () => {
    windowWith([{ id: 'page', className: WEB, frame: full, ...dragRegionOnPage }]);
    const bare = desktop.createWindow({ frame: { x: 0, y: 0, width: 400, height: 300 }, contentView: null }).number;
    const noWindow = desktop.sendEvent({ type: EventType.scrollWheel, location: { x: 300, y: 380 } });
    assert.deepEqual([noWindow.dropped, noWindow.deliveredTo], [false, null]);
    const noContent = scrollAt(bare, 200, 280);
    assert.equal(noContent.dropped, false);
    assert.equal(noContent.deliveredTo, desktop.windowInfo(bare).frameView);
    assert.deepEqual(deliveries('page'), { page: [] });
  });

  test('a second install forwards each event once', () => {
    assert.equal(addon.installDragRegionScrollForwarding(), true);
    assert.equal(desktop.monitors().length, 1);
    const w = windowWith([{ id: 'page', className: WEB, frame: full, ...dragRegionOnPage }]);
    desktop.moveMouse(300, 390); // window point (200, 290)
    const first = desktop.scroll();
    const second = desktop.scroll();
    assert.deepEqual([first.dropped, second.dropped], [true, true]);
    assert.deepEqual(
      desktop.viewDeliveries('page').map(({ event, via }) => [event, via]),
      [
        [first.event, 'scrollWheel:'],
        [second.event, 'scrollWheel:'],
      ],
    );
    assert.equal(w, desktop.windowAt(300, 390));
  });

  test('other event types over a drag region are not forwarded', () => {
    const w = windowWith([{ id: 'page', className: WEB, frame: full, ...dragRegionOnPage }]);
    for (const type of [EventType.leftMouseDown, EventType.swipe, EventType.mouseMoved]) {
      assert.equal(desktop.sendEvent({ type, window: w, location: { x: 200, y: 280 } }).dropped, false);
    }
    assert.deepEqual(deliveries('page'), { page: [] });
  });
});
