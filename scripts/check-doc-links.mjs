#!/usr/bin/env node
// Checks the links of every Markdown file of a repository (the files git
// tracks; every *.md outside node_modules, build and dot folders when the
// folder is not a git work tree):
// - a relative link names a file or folder that exists (`docs/helpers.md`,
//   `../README.md`, `/DEVELOPERS.md` from the repository's root);
// - a link's `#anchor` into a Markdown file (or into the file itself) names a
//   heading there, by GitHub's slug of it (`### \`startFileDrag(request,
//   writer) → boolean\`` is `#startfiledragrequest-writer--boolean`), or an
//   element's `id`/`name`;
// - a link to this repository on GitHub (`https://github.com/<owner>/<name>`,
//   `/blob/<branch>/<path>`, `/tree/<branch>/<path>`, as the packages'
//   READMEs use them, which npm shows outside the repository) is checked as
//   the same relative link from the root. The repository's address is read
//   from the `repository` field of the package.json files.
// Links inside code blocks and code spans are not links. Prints one line per
// broken link (file:line: the link and why) and fails (status 1) on any.
//
//   node scripts/check-doc-links.mjs [root]
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.join(path.dirname(fileURLToPath(import.meta.url)), '..');

/** The Markdown files of `root`, relative to it, with / as separator. */
export function markdownFiles(root) {
  const git = spawnSync('git', ['ls-files', '-z', '--', '*.md', '*.markdown'], { cwd: root, encoding: 'utf8' });
  if (git.status === 0 && fs.realpathSync(gitTopLevel(root)) === fs.realpathSync(root)) {
    return git.stdout.split('\0').filter((file) => file !== '' && fs.existsSync(path.join(root, file))).sort();
  }
  const found = [];
  const walk = (folder) => {
    for (const entry of fs.readdirSync(path.join(root, folder), { withFileTypes: true })) {
      const relative = folder === '' ? entry.name : `${folder}/${entry.name}`;
      if (entry.isDirectory()) {
        if (!entry.name.startsWith('.') && entry.name !== 'node_modules' && entry.name !== 'build') walk(relative);
      } else if (/\.(md|markdown)$/i.test(entry.name)) {
        found.push(relative);
      }
    }
  };
  walk('');
  return found.sort();
}

function gitTopLevel(root) {
  const run = spawnSync('git', ['rev-parse', '--show-toplevel'], { cwd: root, encoding: 'utf8' });
  return run.status === 0 ? run.stdout.trim() : '';
}

/** The addresses this repository is known by on GitHub, from its package.json files. */
export function repositoryAddresses(root) {
  const addresses = new Set();
  const candidates = ['package.json'];
  for (const entry of fs.readdirSync(root, { withFileTypes: true })) {
    if (entry.isDirectory() && fs.existsSync(path.join(root, entry.name, 'package.json'))) {
      candidates.push(`${entry.name}/package.json`);
    }
  }
  for (const file of candidates) {
    let manifest;
    try {
      manifest = JSON.parse(fs.readFileSync(path.join(root, file), 'utf8'));
    } catch {
      continue;
    }
    const url = typeof manifest.repository === 'string' ? manifest.repository : manifest.repository?.url;
    const match = typeof url === 'string' ? /github\.com[/:]([^/]+)\/([^/#]+?)(?:\.git)?\/?$/.exec(url) : null;
    if (match) addresses.add(`https://github.com/${match[1]}/${match[2]}`.toLowerCase());
  }
  return addresses;
}

/** The lines of `text` outside fenced code blocks, with their numbers; code spans blanked. */
function proseLines(text) {
  const lines = [];
  let fence = null;
  text.split('\n').forEach((line, index) => {
    const marker = /^ {0,3}(`{3,}|~{3,})/.exec(line);
    if (fence !== null) {
      if (marker && marker[1][0] === fence[0] && marker[1].length >= fence.length && /^ {0,3}[`~]+\s*$/.test(line)) fence = null;
      return;
    }
    if (marker) {
      fence = marker[1];
      return;
    }
    lines.push({ number: index + 1, text: line.replace(/(`+)[^`]*?\1/g, (span) => ' '.repeat(span.length)), raw: line });
  });
  return lines;
}

/** GitHub's anchor of a heading's text: lower case, punctuation dropped, spaces as hyphens. */
export function slugOf(heading) {
  // Code spans are shown as they are written; elsewhere links and images show their text, and
  // inline HTML shows nothing.
  const text = heading
    .split(/(`+[^`]*?`+)/)
    .map((piece, index) =>
      index % 2 === 1
        ? piece.replace(/^`+|`+$/g, '')
        : piece
            .replace(/!?\[([^\]]*)\]\([^)]*\)/g, '$1')
            .replace(/<[^>]+>/g, ''),
    )
    .join('')
    .trim()
    .toLowerCase();
  return text.replace(/[^\p{L}\p{M}\p{N}\p{Pc} -]/gu, '').replace(/ /g, '-');
}

/** The anchors a Markdown text offers: its headings' slugs (repeats numbered) and HTML ids. */
export function anchorsOf(text) {
  const anchors = new Set();
  const seen = new Map();
  const lines = proseLines(text);
  lines.forEach((line, index) => {
    const source = line.raw ?? '';
    let heading = null;
    const atx = /^ {0,3}#{1,6}(?:\s+(.*?))?(?:\s+#+)?\s*$/.exec(source);
    if (atx) heading = atx[1] ?? '';
    const next = lines[index + 1];
    if (heading === null && source.trim() !== '' && next?.raw !== undefined && /^ {0,3}(=+|-+)\s*$/.test(next.raw) && !/^\s*[-*+]\s/.test(source)) {
      heading = source.trim();
    }
    if (heading !== null) {
      const slug = slugOf(heading);
      const count = seen.get(slug) ?? 0;
      seen.set(slug, count + 1);
      anchors.add(count === 0 ? slug : `${slug}-${count}`);
    }
    for (const match of source.matchAll(/<[a-z][^>]*\s(?:id|name)=["']([^"']+)["']/gi)) anchors.add(match[1]);
  });
  return anchors;
}

/** The link targets of a Markdown text: inline links, images and reference definitions. */
export function linksOf(text) {
  const links = [];
  for (const line of proseLines(text)) {
    // The link's text may begin on an earlier line: its end, `](target)`, is what is read.
    for (const match of line.text.matchAll(/\]\(\s*<?([^)\s>]*)>?(?:\s+["'(][^)]*)?\)/g)) {
      links.push({ line: line.number, target: match[1] });
    }
    const definition = /^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s|$)/.exec(line.text);
    if (definition) links.push({ line: line.number, target: definition[1] });
    for (const match of line.text.matchAll(/<a\s[^>]*href=["']([^"']+)["']/gi)) links.push({ line: line.number, target: match[1] });
  }
  return links;
}

/**
 * The broken links of the Markdown files `files` (relative to `root`), as
 * `{ file, line, target, problem }`.
 */
export function brokenLinks(root, files = markdownFiles(root)) {
  const addresses = repositoryAddresses(root);
  const anchorCache = new Map();
  const anchorsIn = (absolute) => {
    if (!anchorCache.has(absolute)) anchorCache.set(absolute, anchorsOf(fs.readFileSync(absolute, 'utf8')));
    return anchorCache.get(absolute);
  };
  const broken = [];
  for (const file of files) {
    const absoluteFile = path.join(root, file);
    for (const { line, target } of linksOf(fs.readFileSync(absoluteFile, 'utf8'))) {
      let reference = target;
      let fromRoot = false;
      const ownAddress = [...addresses].find((address) => reference.toLowerCase() === address || reference.toLowerCase().startsWith(`${address}/`) || reference.toLowerCase().startsWith(`${address}#`));
      if (ownAddress) {
        const rest = reference.slice(ownAddress.length);
        const inTree = /^\/(?:blob|tree)\/[^/#]+(\/[^#]*)?(#.*)?$/.exec(rest);
        if (rest === '' || rest === '/' || rest.startsWith('#')) reference = `/README.md${rest.replace(/^\//, '')}`;
        else if (inTree) reference = `${inTree[1] ?? '/'}${inTree[2] ?? ''}`;
        else continue; // issues, releases and the like: not files of the repository
        fromRoot = true;
      } else if (/^[a-z][a-z0-9+.-]*:/i.test(reference) || reference.startsWith('//')) {
        continue; // another site, mailto: and the like
      }
      if (reference === '') {
        broken.push({ file, line, target, problem: 'the link is empty' });
        continue;
      }
      const hash = reference.indexOf('#');
      const pathPart = hash === -1 ? reference : reference.slice(0, hash);
      const anchor = hash === -1 ? null : reference.slice(hash + 1);
      let decoded;
      try {
        decoded = decodeURIComponent(pathPart.split('?')[0]);
      } catch {
        broken.push({ file, line, target, problem: 'the path is not valid percent-encoding' });
        continue;
      }
      let targetFile;
      if (decoded === '') targetFile = absoluteFile;
      else if (decoded.startsWith('/') || fromRoot) targetFile = path.join(root, decoded);
      else targetFile = path.join(path.dirname(absoluteFile), decoded);
      const shown = path.relative(root, targetFile).split(path.sep).join('/') || '.';
      if (shown.startsWith('..')) {
        broken.push({ file, line, target, problem: `${shown} lies outside the repository` });
        continue;
      }
      if (!fs.existsSync(targetFile)) {
        broken.push({ file, line, target, problem: `${shown} does not exist` });
        continue;
      }
      if (anchor === null || anchor === '' || !/\.(md|markdown)$/i.test(targetFile) || fs.statSync(targetFile).isDirectory()) continue;
      let wanted;
      try {
        wanted = decodeURIComponent(anchor);
      } catch {
        wanted = anchor;
      }
      if (!anchorsIn(targetFile).has(wanted) && !anchorsIn(targetFile).has(wanted.toLowerCase())) {
        broken.push({ file, line, target, problem: `${shown} has no heading with the anchor #${wanted}` });
      }
    }
  }
  return broken;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const root = path.resolve(process.argv[2] ?? here);
  const files = markdownFiles(root);
  if (files.length === 0) {
    console.error(`check-doc-links: ${root} holds no Markdown file`);
    process.exit(1);
  }
  const broken = brokenLinks(root, files);
  for (const { file, line, target, problem } of broken) console.error(`${file}:${line}: ${target}: ${problem}`);
  console.log(`${files.length} Markdown files, ${broken.length} broken links`);
  process.exit(broken.length === 0 ? 0 : 1);
}
