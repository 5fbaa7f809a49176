'use strict';
// The page: a list of remote files to drag out. It knows each file's id, name
// and size, and tells the main process only which ids are being dragged.
const list = document.getElementById('files');
const status = document.getElementById('status');
const rows = new Map(); // id -> { row, bar, state }

function sizeText(size) {
  if (size == null) return 'size unknown';
  if (size < 1024 * 1024) return `${Math.ceil(size / 1024)} KB`;
  return `${(size / (1024 * 1024)).toFixed(1)} MB`;
}

function addRow({ id, name, size }) {
  const row = document.createElement('li');
  row.draggable = true;
  row.dataset.id = id;
  const title = document.createElement('span');
  title.textContent = name;
  const info = document.createElement('span');
  info.className = 'size';
  info.textContent = sizeText(size);
  const bar = document.createElement('progress');
  bar.max = 1;
  bar.value = 0;
  bar.hidden = true;
  const state = document.createElement('span');
  state.className = 'state';
  row.append(title, info, bar, state);
  list.append(row);
  rows.set(id, { row, bar, state });
}

// Click selects one file; ⌘-click adds or removes one.
list.addEventListener('click', (event) => {
  const row = event.target.closest('li');
  if (!row) return;
  if (!event.metaKey) for (const { row: other } of rows.values()) other.classList.remove('selected');
  row.classList.toggle('selected', event.metaKey ? !row.classList.contains('selected') : true);
});

list.addEventListener('dragstart', (event) => {
  const row = event.target.closest('li');
  if (!row) return;
  // No HTML drag: Chromium would begin a drag of its own, which takes the
  // mouse events the window-exit trigger watches. The mouse stays down and
  // the main process begins the file drag as the cursor leaves the window.
  event.preventDefault();
  if (!row.classList.contains('selected')) {
    for (const { row: other } of rows.values()) other.classList.remove('selected');
    row.classList.add('selected');
  }
  const ids = [...list.querySelectorAll('li.selected')].map((selected) => selected.dataset.id);
  window.dragOut.start(ids);
  status.textContent = `Dragging ${ids.length} file${ids.length === 1 ? '' : 's'}: leave the window to drag them out.`;
});

// The button came up inside the window: no drag out.
window.addEventListener('pointerup', () => window.dragOut.cancel());

window.dragOut.onState(({ sessionId, phase, dropped }) => {
  if (phase === 'started') status.textContent = `${sessionId}: drop the files where they should go.`;
  else if (phase === 'not-started') status.textContent = `${sessionId}: the drag did not start (see the main process's log).`;
  else if (phase === 'ended') status.textContent = `${sessionId} ended: ${dropped ? 'dropped' : 'cancelled, nothing accepted the drop'}.`;
});

window.dragOut.onFile(({ id, state, fraction, bytes, message }) => {
  const entry = rows.get(id);
  if (!entry) return;
  entry.row.classList.toggle('failed', state === 'failed');
  entry.bar.hidden = state !== 'downloading';
  if (state === 'downloading') {
    entry.bar.value = fraction;
    entry.state.textContent = `downloading ${Math.floor(fraction * 100)} %`;
  } else if (state === 'written') {
    entry.state.textContent = `written, ${sizeText(bytes)}`;
  } else if (state === 'failed') {
    entry.state.textContent = message;
  }
});

window.dragOut.listFiles().then((files) => files.forEach(addRow));
