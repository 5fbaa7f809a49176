// scripts/check-doc-links.mjs: the repository's Markdown files pass, and a
// small repository of our own in a temporary folder passes as written and
// fails, naming the file, the line and what is wrong, with each kind of broken
// link planted in it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { markdownFiles, slugOf } from '../check-doc-links.mjs';

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const checker = path.join(root, 'scripts', 'check-doc-links.mjs');

function check(folder) {
  const run = spawnSync(process.execPath, [checker, folder], { encoding: 'utf8' });
  return { status: run.status, output: run.stdout + run.stderr };
}

test("the repository's Markdown links all resolve", () => {
  const files = markdownFiles(root);
  for (const file of ['README.md', 'DEVELOPERS.md', 'addon/README.md', 'sidecar/README.md', 'docs/helpers.md']) {
    assert.ok(files.includes(file), `${file} is among the files checked`);
  }
  const { status, output } = check(root);
  assert.equal(status, 0, output);
  assert.match(output, / 0 broken links$/m);
});

// GitHub's anchors of the heading shapes the docs use.
const slugs = [
  ['`windowNumberOf(browserWindow) → number`', 'windownumberofbrowserwindow--number'],
  ['`writeFileFromStream(destinationPath, source, options?) → Promise<number>`', 'writefilefromstreamdestinationpath-source-options--promisenumber'],
  ["The addon's exports", 'the-addons-exports'],
  ['The simulated desktop: `kestrovan-desktop-sim`', 'the-simulated-desktop-kestrovan-desktop-sim'],
  ['Receiving dropped files (file promises): `acceptFileDrops(options) → FileDropZone`', 'receiving-dropped-files-file-promises-acceptfiledropsoptions--filedropzone'],
  ['On Linux (X11)', 'on-linux-x11'],
  ['The [linked](other.md) <em>words</em> and snake_case', 'the-linked-words-and-snake_case'],
];
for (const [heading, slug] of slugs) {
  test(`the anchor of "${heading}" is #${slug}`, () => assert.equal(slugOf(heading), slug));
}

/** A small repository of Markdown files in a temporary folder, removed after the test. */
function fixture(t, files) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrovan-doc-links-'));
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  for (const [file, text] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(folder, file)), { recursive: true });
    fs.writeFileSync(path.join(folder, file), text);
  }
  return folder;
}

const good = {
  'README.md': [
    '# Front door',
    '',
    'See [the helpers](docs/helpers.md), [`startFileDrag`](docs/helpers.md#startfiledragrequest-writer--boolean),',
    'the [second Events](docs/helpers.md#events-1), [a folder](pkg/), [below](#reference) and',
    '[the site](https://example.com/nowhere.md#none) or [mail](mailto:someone@example.com).',
    '',
    '## Reference',
    '',
    '```md',
    '[inside a code block](missing.md)',
    '```',
    '',
    'A code span is no link: `[x](missing.md)`.',
    '',
    '[defined]: docs/helpers.md#events',
    '',
  ].join('\n'),
  'docs/helpers.md': [
    '# The helpers',
    '',
    '[Back](../README.md#front-door), [here](#events), [the package](../pkg/README.md).',
    '',
    '## `startFileDrag(request, writer) → boolean`',
    '',
    '### Events',
    '',
    '### Events',
    '',
  ].join('\n'),
  'pkg/package.json': JSON.stringify({ name: 'pkg', repository: { type: 'git', url: 'git+https://github.com/owner/name.git', directory: 'pkg' } }),
  'pkg/README.md': [
    '# pkg',
    '',
    '[The helpers](https://github.com/owner/name/blob/main/docs/helpers.md#events) and',
    '[the front door](https://github.com/owner/name#reference), [the issues](https://github.com/owner/name/issues).',
    '',
  ].join('\n'),
};

test('a repository whose links all resolve passes', (t) => {
  const { status, output } = check(fixture(t, good));
  assert.equal(status, 0, output);
  assert.match(output, /^3 Markdown files, 0 broken links$/m);
});

// [the fault, the file it is planted in, the line added, what the checker must say]
const faults = [
  ['a file that does not exist', 'README.md', 'See [gone](docs/gone.md).', /docs\/gone\.md does not exist/],
  ['an anchor missing from another file', 'README.md', 'See [gone](docs/helpers.md#nowhere).', /docs\/helpers\.md has no heading with the anchor #nowhere/],
  ['an anchor missing from the file itself', 'docs/helpers.md', 'See [gone](#nowhere).', /docs\/helpers\.md has no heading with the anchor #nowhere/],
  ['a third heading of the same name', 'README.md', 'See [gone](docs/helpers.md#events-2).', /has no heading with the anchor #events-2/],
  ['a path climbing out of the repository', 'README.md', 'See [gone](../README.md).', /lies outside the repository/],
  ['a path relative to the wrong folder', 'docs/helpers.md', 'See [gone](docs/helpers.md).', /docs\/docs\/helpers\.md does not exist/],
  ['a link whose text spans two lines', 'docs/helpers.md', 'See [the page\nthat is gone](gone.md).', /docs\/gone\.md does not exist/],
  ['a reference definition to a missing file', 'README.md', '[gone]: docs/gone.md', /docs\/gone\.md does not exist/],
  ["a page missing on the repository's own GitHub address", 'pkg/README.md', 'See [gone](https://github.com/owner/name/blob/main/docs/gone.md).', /docs\/gone\.md does not exist/],
  ["a README anchor missing on the repository's own address", 'pkg/README.md', 'See [gone](https://github.com/owner/name#nowhere).', /README\.md has no heading with the anchor #nowhere/],
];
for (const [fault, file, line, said] of faults) {
  test(`${fault} fails, naming ${file} and the line`, (t) => {
    const text = good[file];
    const planted = text.split('\n').length + line.split('\n').length - 1; // the line of its `](`
    const folder = fixture(t, { ...good, [file]: `${text}${line}\n` });
    const { status, output } = check(folder);
    assert.equal(status, 1, output);
    const broken = output.split('\n').filter((entry) => /^\S+:\d+: /.test(entry));
    assert.equal(broken.length, 1, output);
    assert.ok(broken[0].startsWith(`${file}:${planted}: `), broken[0]);
    assert.match(broken[0], said);
    assert.match(output, /^3 Markdown files, 1 broken links$/m);
  });
}

test('a folder without a Markdown file fails', (t) => {
  const { status, output } = check(fixture(t, { 'notes.txt': '[x](y.md)\n' }));
  assert.equal(status, 1);
  assert.match(output, /holds no Markdown file/);
});
