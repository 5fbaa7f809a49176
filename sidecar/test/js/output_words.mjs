// The program's output words, read from the one place they are written,
// sidecar/core/output_signals.h: one `inline constexpr std::string_view` per
// word, all of them listed in `outputSignals`. The event a word becomes in the
// wrapper is the word in lower case with hyphens (DRAG_ENTER, 'drag-enter').
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const outputSignalsHeader = path.resolve(
  path.dirname(fileURLToPath(import.meta.url)),
  '..',
  '..',
  'core',
  'output_signals.h',
);

/** [{ constant, word }] in the header's order; throws when `outputSignals` does not list every word. */
export function parseOutputWords(text) {
  const words = [...text.matchAll(/^inline constexpr std::string_view (\w+) = "([^"]*)";$/gm)].map(
    ([, constant, word]) => ({ constant, word }),
  );
  const list = /^inline constexpr std::array(?:<[^>]*>)? outputSignals\{([^}]*)\};$/m.exec(text);
  if (words.length === 0 || list === null) {
    throw new Error('no output words, or no outputSignals list, in the header');
  }
  const listed = list[1].split(',').map((name) => name.trim()).filter(Boolean);
  const constants = words.map(({ constant }) => constant);
  if (listed.join() !== constants.join()) {
    throw new Error(`outputSignals lists ${listed.join(', ')}; the header's words are ${constants.join(', ')}`);
  }
  return words;
}

/** The header's words, in order. */
export const outputWords = parseOutputWords(fs.readFileSync(outputSignalsHeader, 'utf8')).map(({ word }) => word);

/** The wrapper's event for a word. */
export const eventOf = (word) => word.toLowerCase().replace(/_/g, '-');
