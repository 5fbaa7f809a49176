// A private X server for the wrapper's tests: Xvfb on a display it picks
// itself (-displayfd), ready once it has written that number.
import { spawn } from 'node:child_process';

/** Resolves with the first line of a stream, or rejects after `timeout` milliseconds. */
export function firstLine(stream, timeout, what) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => {
      stream.removeListener('data', onData);
      reject(new Error(`${what}: no line within ${timeout} ms (read ${JSON.stringify(text)})`));
    }, timeout);
    function onData(chunk) {
      text += chunk;
      const end = text.indexOf('\n');
      if (end === -1) return;
      clearTimeout(timer);
      stream.removeListener('data', onData);
      resolve(text.slice(0, end));
    }
    stream.setEncoding('utf8');
    stream.on('data', onData);
  });
}

/** Starts Xvfb with one screen of width × height; answers { display, width, height, stop() }. */
export async function startXvfb({ width = 1280, height = 800 } = {}) {
  const server = spawn(
    '/usr/bin/Xvfb',
    ['-displayfd', '1', '-screen', '0', `${width}x${height}x24`, '-nolisten', 'tcp', '-noreset'],
    { stdio: ['ignore', 'pipe', 'pipe'] },
  );
  let errors = '';
  server.stderr.setEncoding('utf8');
  server.stderr.on('data', (chunk) => {
    errors += chunk;
  });
  const exited = new Promise((resolve) => server.on('exit', resolve));
  let number;
  try {
    number = await firstLine(server.stdout, 10000, 'Xvfb');
  } catch (error) {
    server.kill('SIGKILL');
    throw new Error(`${error.message}; Xvfb said: ${errors}`);
  }
  return {
    display: `:${number}`,
    width,
    height,
    async stop() {
      server.kill('SIGTERM');
      const timer = setTimeout(() => server.kill('SIGKILL'), 3000);
      await exited;
      clearTimeout(timer);
    },
  };
}
