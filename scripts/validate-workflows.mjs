#!/usr/bin/env node
// Validates the GitHub workflow files of a folder (default .github/workflows):
// - each file against GitHub's workflow schema and its own references (job
//   `needs`, path globs), through @action-validator/core, which carries the
//   schema and so works offline;
// - every `uses:` of an action names a release by its major version at least
//   (owner/name@v4, @v4.2.1) or a full commit; a branch such as @main does not.
// Prints one line per file and fails (status 1) on any invalid file, or when
// the folder holds no workflow file at all.
//
//   node scripts/validate-workflows.mjs [folder]
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const require = createRequire(import.meta.url);
const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..');

/** The schema's findings as lines: one per innermost error, with its place. */
function describeErrors(errors, into = []) {
  for (const error of errors) {
    if (Array.isArray(error.states) && error.states.length > 0) {
      for (const state of error.states) describeErrors(state.errors, into);
      continue;
    }
    const where = error.location ? `line ${error.location.line}, column ${error.location.column}` : error.path;
    into.push(`${where}: ${error.title}${error.detail ? ` (${error.detail})` : ''}`);
  }
  return [...new Set(into)];
}

/** Each `uses:` of an action that is not pinned to a major version or a commit. */
function unpinnedActions(text) {
  const found = [];
  text.split('\n').forEach((line, index) => {
    const match = /^\s*(?:-\s+)?uses:\s*["']?([^"'\s#]+)/.exec(line);
    if (match === null) return;
    const reference = match[1];
    if (reference.startsWith('./') || reference.startsWith('docker://')) return;
    const at = reference.lastIndexOf('@');
    const version = at === -1 ? '' : reference.slice(at + 1);
    if (!/^v\d+(\.\d+){0,2}$/.test(version) && !/^[0-9a-f]{40}$/.test(version)) {
      found.push(`line ${index + 1}: ${reference} is not pinned to a major version (@vN) or a commit`);
    }
  });
  return found;
}

export function validateWorkflowText(text) {
  const { validateWorkflow } = require('@action-validator/core');
  return [...describeErrors(validateWorkflow(text).errors), ...unpinnedActions(text)];
}

export function validateFolder(folder) {
  const files = fs.existsSync(folder)
    ? fs.readdirSync(folder).filter((name) => /\.ya?ml$/.test(name)).sort()
    : [];
  const results = files.map((name) => ({ name, problems: validateWorkflowText(fs.readFileSync(path.join(folder, name), 'utf8')) }));
  return { files, results };
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const folder = path.resolve(process.argv[2] ?? path.join(root, '.github', 'workflows'));
  const { files, results } = validateFolder(folder);
  if (files.length === 0) {
    console.error(`validate-workflows: ${folder} holds no workflow file (*.yml, *.yaml)`);
    process.exit(1);
  }
  let invalid = 0;
  for (const { name, problems } of results) {
    if (problems.length === 0) {
      console.log(`ok: ${name}`);
      continue;
    }
    invalid += 1;
    console.error(`validate-workflows: ${name} is invalid:`);
    for (const problem of problems) console.error(`  ${problem}`);
  }
  console.log(`${results.length - invalid} passed, ${invalid} failed`);
  process.exit(invalid === 0 ? 0 : 1);
}
