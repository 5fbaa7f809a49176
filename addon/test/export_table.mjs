// The addon's export names, read from the one place they are written,
// src/bridge/export_table.cc: each name a `constexpr char kName[] = "name";`,
// defined in the order of the `method<kName, body>()` entries of its table.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const exportTableSource = path.resolve(
  path.dirname(fileURLToPath(import.meta.url)),
  '..',
  'src',
  'bridge',
  'export_table.cc',
);

/** The names in definition order; throws when a constant is missing or defined twice. */
export function parseExportTable(text) {
  const names = new Map(
    [...text.matchAll(/^constexpr char (k\w+)\[\] = "([^"]*)";$/gm)].map(([, constant, name]) => [constant, name]),
  );
  const entries = [...text.matchAll(/\bmethod<(k\w+),/g)].map(([, constant]) => constant);
  if (entries.length === 0) throw new Error('no method<…>() entries in the export table');
  for (const constant of entries) {
    if (!names.has(constant)) throw new Error(`the export table uses ${constant}, which names no export`);
  }
  if (new Set(entries).size !== entries.length || entries.length !== names.size) {
    throw new Error(`the export table defines ${[...names.keys()].join(', ')} and uses ${entries.join(', ')}`);
  }
  return entries.map((constant) => names.get(constant));
}

/** The names of kestrovan_file_promise_drag.node, in definition order. */
export const exportNames = parseExportTable(fs.readFileSync(exportTableSource, 'utf8'));
