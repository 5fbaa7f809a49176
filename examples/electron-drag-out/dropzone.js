'use strict';
// The dropzone below the tray, opened while files are dragged toward it. It
// shows the names of the files dropped on it; what an app does with them is
// its own business.
const zone = document.getElementById('zone');
zone.addEventListener('dragover', (event) => {
  event.preventDefault();
  zone.classList.add('over');
});
zone.addEventListener('dragleave', () => zone.classList.remove('over'));
zone.addEventListener('drop', (event) => {
  event.preventDefault();
  zone.classList.remove('over');
  const names = [...event.dataTransfer.files].map((file) => file.name);
  zone.textContent = names.length ? `Received: ${names.join(', ')}` : 'Nothing to receive';
});
