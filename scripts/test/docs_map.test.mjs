// The map of DEVELOPERS.md ("Where a fact is written more than once") against
// the sources it maps: every output word of sidecar/core/output_signals.h and
// every export of addon/src/bridge/export_table.cc shows in each place the map
// lists for it, so one added to its source alone fails here until the
// documents and declarations are done.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { eventOf, outputWords } from '../../sidecar/test/js/output_words.mjs';
import { exportNames } from '../../addon/test/export_table.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const read = (file) => fs.readFileSync(path.join(root, file), 'utf8');

const escape = (text) => text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
const token = (text) => new RegExp(`(?<![\\w-])${escape(text)}(?![\\w-])`);

/** What each kind of place must show for one word or name. */
const kinds = {
  'the word': (text, word) => token(word).test(text),
  'the event': (text, word) => token(eventOf(word)).test(text),
  'a row with the word and its event': (text, word) =>
    text.split('\n').some((line) => line.startsWith('|') && token(word).test(line) && token(eventOf(word)).test(line)),
  'a declaration': (text, name) => new RegExp(`^export (?:declare )?function ${escape(name)}\\b`, 'm').test(text),
  // A heading or a paragraph that begins with the call in bold.
  'its entry': (text, name) => new RegExp(`^(?:#+ |\\*\\*)\`${escape(name)}\\(`, 'm').test(text),
  'the name': (text, name) => token(name).test(text),
};

/** The places listed after the paragraph of the map that begins with `lead`. */
export function mapPlaces(developers, lead) {
  const lines = developers.split('\n');
  const start = lines.findIndex((line) => line.startsWith(lead));
  assert.notEqual(start, -1, `DEVELOPERS.md has no paragraph beginning "${lead}"`);
  const places = [];
  for (const line of lines.slice(start + 1)) {
    if (line.trim() === '' && places.length === 0) continue;
    if (line.startsWith('  ')) {
      // A place's explanation; "  not for `A`, `B`: why" leaves those out of it.
      const exempt = /^\s+not for ((?:`[^`]+`(?:, )?)+): \S/.exec(line);
      if (exempt && places.length > 0) {
        for (const [, name] of exempt[1].matchAll(/`([^`]+)`/g)) places.at(-1).exempt.push(name);
      }
      continue;
    }
    const place = /^- `([^`]+)`(?: § (.+?))?: (.+)$/.exec(line);
    if (place === null) break;
    const [, file, section, kind] = place;
    assert.ok(kind in kinds, `DEVELOPERS.md: "${line}" ends with no known kind (${Object.keys(kinds).join('; ')})`);
    places.push({ file, section, kind, exempt: [] });
  }
  assert.ok(places.length > 0, `DEVELOPERS.md lists no places after "${lead}"`);
  return places;
}

/** The text of a Markdown section, from its heading to the next heading of its level or above. */
export function sectionText(markdown, heading) {
  let fenced = false;
  const headings = [];
  markdown.split('\n').forEach((line, index) => {
    if (line.startsWith('```')) fenced = !fenced;
    const match = !fenced && /^(#+) (.*)$/.exec(line);
    if (match) headings.push({ index, level: match[1].length, text: match[2] });
  });
  const at = headings.findIndex(({ text }) => text === heading || text === `\`${heading}\``);
  if (at === -1) return undefined;
  const { index, level } = headings[at];
  const next = headings.slice(at + 1).find((other) => other.level <= level);
  return markdown.split('\n').slice(index + 1, next === undefined ? undefined : next.index).join('\n');
}

/** "file § section: what is missing" for each place that does not show each of the names. */
export function missing(places, names, readFile = read) {
  const faults = [];
  for (const { file, section, kind, exempt = [] } of places) {
    const where = section === undefined ? file : `${file} § ${section}`;
    let text;
    try {
      text = readFile(file);
    } catch {
      faults.push(`${where}: no such file`);
      continue;
    }
    if (section !== undefined) text = sectionText(text, section);
    if (text === undefined) {
      faults.push(`${where}: no such section`);
      continue;
    }
    for (const name of names) {
      if (!exempt.includes(name) && !kinds[kind](text, name)) faults.push(`${where}: ${kind} is missing for ${name}`);
    }
  }
  return faults;
}

const developers = read('DEVELOPERS.md');

describe("the map's places against the sources", () => {
  const cases = [
    { fact: 'output word', lead: 'A new output word', names: outputWords },
    { fact: 'export', lead: 'A new export of', names: exportNames },
  ];
  for (const { fact, lead, names } of cases) {
    test(`every ${fact} (${names.join(', ')}) shows in every place the map lists`, () => {
      assert.deepEqual(missing(mapPlaces(developers, lead), names), []);
    });
  }
});

describe('the check itself', () => {
  const readme = [
    '# Title',
    '### Events',
    '```sh',
    '# not a heading',
    '```',
    '| `drag-enter` | the program printed `DRAG_ENTER` |',
    '| `drag-exit` | — |',
    'DRAG_EXIT, in prose',
    '### Next',
    '`DRAG_EXITED` `drag-exit-more`',
  ].join('\n');
  const files = { 'R.md': readme, 'a.d.ts': 'export function one(): boolean;\n// two()\n' };
  const readFile = (file) => {
    if (!(file in files)) throw new Error('no file');
    return files[file];
  };
  const cases = [
    { place: { file: 'R.md', section: 'Events', kind: 'a row with the word and its event' }, names: ['DRAG_ENTER'], faults: [] },
    {
      place: { file: 'R.md', section: 'Events', kind: 'a row with the word and its event' },
      names: ['DRAG_EXIT'],
      faults: ['R.md § Events: a row with the word and its event is missing for DRAG_EXIT'],
    },
    { place: { file: 'R.md', section: 'Events', kind: 'the word' }, names: ['DRAG_EXIT'], faults: [] },
    {
      place: { file: 'R.md', section: 'Next', kind: 'the word' },
      names: ['DRAG_EXIT'],
      faults: ['R.md § Next: the word is missing for DRAG_EXIT'],
    },
    { place: { file: 'R.md', section: 'not a heading', kind: 'the word' }, names: ['X'], faults: ['R.md § not a heading: no such section'] },
    { place: { file: 'a.d.ts', kind: 'a declaration' }, names: ['one', 'two'], faults: ['a.d.ts: a declaration is missing for two'] },
    { place: { file: 'gone.md', kind: 'the name' }, names: ['one'], faults: ['gone.md: no such file'] },
  ];
  for (const { place, names, faults } of cases) {
    test(`${place.file}${place.section ? ` § ${place.section}` : ''}, ${place.kind}, ${names.join(', ')}`, () => {
      assert.deepEqual(missing([place], names, readFile), faults);
    });
  }

  test('a place says which names it leaves out, and why', () => {
    const map = [
      'A new thing touches:',
      '',
      '- `a.d.ts`: a declaration',
      '  (an explanation)',
      '  not for `two`, `three`: they are internal',
      '- `R.md` § Events: the word',
      '',
      '- `after.md`: the word',
    ].join('\n');
    const places = mapPlaces(map, 'A new thing');
    assert.deepEqual(places, [
      { file: 'a.d.ts', section: undefined, kind: 'a declaration', exempt: ['two', 'three'] },
      { file: 'R.md', section: 'Events', kind: 'the word', exempt: [] },
    ]);
    assert.deepEqual(missing(places.slice(0, 1), ['one', 'two', 'three'], readFile), []);
  });

  test("a place whose kind the check does not know is an error naming the map's line", () => {
    const map = 'A new thing touches:\n\n- `R.md`: the colour\n';
    assert.throws(() => mapPlaces(map, 'A new thing'), /"- `R.md`: the colour" ends with no known kind/);
  });
});
