// installDragRegionScrollForwarding on whichever desktop the build has
// (desktop/driver.mjs): over a drag region, where hit-testing yields the
// content view and normal dispatch never reaches the page, a scroll reaches
// the web view under the cursor once; over the page it reaches it once by
// normal dispatch, not twice; where no web view lies, nothing is sent. (View
// trees, hidden and nested views, refused monitors: sim/scroll_forwarding.test.mjs.)
import assert from 'node:assert/strict';
import { after, afterEach, beforeEach, test } from 'node:test';

import { addon, driver, simOnly } from './desktop/driver.mjs';

beforeEach(() => driver.reset());
afterEach(async () => {
  if (simOnly) assert.deepEqual(simOnly.violations(), [], 'nothing AppKit would refuse');
  await driver.reset();
});
after(() => driver.close());

// A 400 x 300 window; the web view covers its left 300 points, with a drag
// region over its top 50 (a title bar drawn by the page).
const frame = { x: 100, y: 100, width: 400, height: 300 };
const webView = { frame: { x: 0, y: 0, width: 300, height: 300 }, dragRegions: [{ x: 0, y: 0, width: 300, height: 50 }] };

/** How many scrollWheel: calls the window's web view receives for one scroll at (x, y). */
async function scrollsReaching(w, x, y) {
  const before = await driver.webViewScrolls(w);
  await driver.postScroll(w, { x, y, deltaY: -10 });
  return (await driver.webViewScrolls(w)) - before;
}

// Forwarding lives for the process once installed: the first test sees the
// window without it.
test('without forwarding, a scroll over a drag region never reaches the page', async () => {
  const w = await driver.createWindow({ frame, webView });
  assert.equal(await scrollsReaching(w, 150, 20), 0, 'the drag region');
  assert.equal(await scrollsReaching(w, 150, 200), 1, 'the page');
});

test('with forwarding, each scroll reaches the web view under the cursor once', async () => {
  assert.equal(addon.installDragRegionScrollForwarding(), true);
  assert.equal(addon.installDragRegionScrollForwarding(), true, 'a second call keeps the one monitor');
  const w = await driver.createWindow({ frame, webView });
  // [where, x, y, scrollWheel: calls the web view gets]
  const cases = [
    ['the drag region, forwarded', 150, 20, 1],
    ['the drag region at its left edge', 0, 25, 1],
    ['the page below the drag region, by normal dispatch', 150, 200, 1],
    ['the content beside the web view: no web view there', 350, 20, 0],
  ];
  for (const [where, x, y, expected] of cases) {
    assert.equal(await scrollsReaching(w, x, y), expected, where);
  }
});

test('a window without a web view is left alone', async () => {
  const w = await driver.createWindow({ frame });
  await driver.postScroll(w, { x: 150, y: 20 });
  assert.equal(await driver.webViewScrolls(w), 0);
});
