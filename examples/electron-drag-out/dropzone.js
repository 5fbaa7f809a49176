'use strict';
// The dropzone below the tray, opened while files are dragged toward it.
//
// Its drop area is covered by the main process's drop zone (acceptFileDrops),
// which receives what Chromium cannot: files that do not exist yet (a Mail
// attachment, a photo from Photos, an image from Safari). Over the zone the
// page's own HTML drag events do not fire: the hover state and the files
// dropped come from the main process. The page reports where the area is,
// and again whenever it moves or resizes; it lists each file dropped with its
// progress, then where it arrived or why it did not. What an app does with
// the files is its own business.
const area = document.getElementById('area');
const list = document.getElementById('drops');
const AREA_TEXT = area.textContent;
const rows = new Map(); // "<dropId>/<index>" -> { row, bar, state, settled }

function reportArea() {
  const { x, y, width, height } = area.getBoundingClientRect();
  window.dropzone.reportArea({ x, y, width, height });
}
// A ResizeObserver reports at once and on each change of the area's size
// (the list growing below it shrinks it); the window's resize covers the rest
// (a zoom changes the CSS pixels' size in points).
new ResizeObserver(reportArea).observe(area);
window.addEventListener('resize', reportArea);

// A drag over the page but outside the area reaches the page as usual: say
// where to drop, and never let a drop there navigate the window to the file.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  event.dataTransfer.dropEffect = 'none';
  area.textContent = 'Drop on the dashed area';
});
for (const type of ['dragleave', 'drop']) {
  document.addEventListener(type, (event) => {
    event.preventDefault();
    area.textContent = AREA_TEXT;
  });
}

// The zone over the area takes drags only: a click there is the page's, as
// anywhere else. It clears the files that have arrived or failed.
area.addEventListener('click', () => {
  for (const [key, entry] of rows) {
    if (!entry.settled) continue;
    entry.row.remove();
    rows.delete(key);
  }
});

window.dropzone.onHover(({ over }) => {
  area.classList.toggle('over', over);
  area.textContent = AREA_TEXT;
});

window.dropzone.onDrop(({ dropId, items }) => {
  area.classList.remove('over');
  for (const { index, name, kind } of items) {
    const row = document.createElement('li');
    const title = document.createElement('span');
    title.className = 'name';
    title.textContent = name || '(no name)'; // the source's name: text, never markup
    const bar = document.createElement('progress');
    bar.max = 1;
    bar.value = 0;
    bar.hidden = kind !== 'promise';
    const state = document.createElement('span');
    state.className = 'state';
    state.textContent = kind === 'promise' ? 'arriving' : '';
    row.append(title, bar, state);
    list.prepend(row);
    rows.set(`${dropId}/${index}`, { row, bar, state, settled: false });
  }
});

window.dropzone.onFile(({ dropId, index, state, fraction, path, message }) => {
  const entry = rows.get(`${dropId}/${index}`);
  if (!entry) return;
  entry.row.classList.toggle('failed', state === 'failed');
  entry.settled = state !== 'receiving';
  entry.bar.hidden = state !== 'receiving';
  if (state === 'receiving') {
    entry.bar.value = fraction;
    entry.state.textContent = `${Math.floor(fraction * 100)} %`;
  } else if (state === 'received') {
    entry.state.textContent = path;
    entry.row.title = path;
  } else if (state === 'failed') {
    entry.state.textContent = message;
  }
});
