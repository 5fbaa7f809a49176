// A stand-in for the package's acceptFileDrops, for the example's tests where
// the simulated desktop cannot drag into a window: it records each zone's
// options, rect and close, and lets the test play another application's drag
// over a zone (enter, exit, a drop whose promised files it answers by hand).
import { EventEmitter } from 'node:events';
import fs from 'node:fs';
import path from 'node:path';

export function fakeFileDrops() {
  const zones = [];

  class FakeZone extends EventEmitter {
    constructor(options) {
      super();
      this.options = options;
      this.rects = [{ ...options.rect }];
      this.closeCalls = 0;
      this.pending = new Set(); // the reject functions of promised files not yet answered
      this.drops = 0;
    }

    get closed() {
      return this.closeCalls > 0;
    }

    get rect() {
      return this.rects.at(-1);
    }

    setRect(rect) {
      checkRect(rect);
      if (!this.closed) this.rects.push({ ...rect });
    }

    close() {
      this.closeCalls += 1;
      if (this.closeCalls > 1) return;
      for (const reject of [...this.pending]) reject(new Error('the drop zone was closed'));
    }

    enter() {
      if (!this.closed) this.emit('enter');
    }

    exit() {
      if (!this.closed) this.emit('exit');
    }

    /**
     * Drops `items` ({ kind: 'file', path } or { kind: 'promise', name }) at
     * `point`; answers one control per promised item:
     * { progress(fraction), receive(contents), fail(message), path }.
     */
    drop(items, point = { x: 10, y: 10 }) {
      // A folder for a drop with promised files, one inside it for each of them.
      const promising = items.some((item) => item.kind === 'promise');
      const folder = promising ? path.join(this.options.destination, `drop-${String(++this.drops).padStart(6, '0')}`) : null;
      if (folder) fs.mkdirSync(folder);
      const controls = [];
      const entries = items.map((item, index) => {
        if (item.kind === 'file') return { name: path.basename(item.path), kind: 'file', path: Promise.resolve(item.path) };
        let settle;
        const promise = new Promise((resolve, reject) => {
          settle = { resolve, reject };
        });
        promise.catch(() => {}); // as the package does: nobody need await it
        const reject = (error) => {
          this.pending.delete(reject);
          settle.reject(error);
        };
        this.pending.add(reject);
        controls.push({
          path: promise,
          progress: (fraction) => this.emit('progress', { name: item.name, path: promise, fraction }),
          receive: (contents) => {
            const file = path.join(folder, String(index + 1), item.name);
            fs.mkdirSync(path.dirname(file));
            fs.writeFileSync(file, contents);
            this.pending.delete(reject);
            settle.resolve(file);
          },
          fail: (message) => reject(new Error(message)),
        });
        return { name: item.name, kind: 'promise', path: promise };
      });
      this.emit('drop', { point, folder, items: entries });
      return controls;
    }
  }

  function checkRect(rect) {
    const ok =
      rect !== null &&
      typeof rect === 'object' &&
      ['x', 'y', 'width', 'height'].every((key) => typeof rect[key] === 'number' && Number.isFinite(rect[key])) &&
      rect.width >= 0 &&
      rect.height >= 0;
    if (!ok) throw new TypeError('acceptFileDrops: rect must be { x, y, width, height } of finite numbers');
  }

  function acceptFileDrops(options) {
    checkRect(options.rect);
    if (typeof options.destination !== 'string' || !path.isAbsolute(options.destination)) {
      throw new TypeError('acceptFileDrops: destination must be an absolute path');
    }
    if (!fs.statSync(options.destination).isDirectory()) throw new Error('acceptFileDrops: the destination is not a folder');
    const zone = new FakeZone(options);
    zones.push(zone);
    return zone;
  }

  return { acceptFileDrops, zones };
}
