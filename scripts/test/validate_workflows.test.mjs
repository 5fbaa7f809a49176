// scripts/validate-workflows.mjs on copies of .github/workflows: the
// repository's files pass, and each kind of fault planted in one copied file
// fails the folder, naming that file and what is wrong, while the files left
// alone still pass.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const workflows = path.join(root, '.github', 'workflows');
const validator = path.join(root, 'scripts', 'validate-workflows.mjs');

function validate(folder) {
  const run = spawnSync(process.execPath, [validator, folder], { encoding: 'utf8' });
  return { status: run.status, output: run.stdout + run.stderr };
}

/** A copy of the workflows with `file` changed by `edit`, which must change it. */
function brokenCopy(t, file, edit) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'workflows-'));
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  fs.cpSync(workflows, folder, { recursive: true });
  const target = path.join(folder, file);
  const before = fs.readFileSync(target, 'utf8');
  const after = edit(before);
  assert.notEqual(after, before, `the fault was not planted in ${file}`);
  fs.writeFileSync(target, after);
  return folder;
}

test("the repository's workflows pass", () => {
  const { status, output } = validate(workflows);
  assert.equal(status, 0, output);
  assert.match(output, /^ok: ci\.yml$/m);
  assert.match(output, /^ok: release\.yml$/m);
});

// [the fault, the file, how it is planted, what the validator must say]
const faults = [
  ['a misspelt job key', 'ci.yml', (text) => text.replace('    runs-on: ubuntu-24.04', '    runs_on: ubuntu-24.04'), /Additional property 'runs_on' is not allowed/],
  ['a trigger that does not exist', 'release.yml', (text) => text.replace('  push:\n    tags:', '  pushed:\n    tags:'), /Additional property 'pushed' is not allowed/],
  ['a job that needs a job there is not', 'release.yml', (text) => text.replace('needs: [linux-x64, darwin]', 'needs: [linux-x64, darwin-prebuilds]'), /Unresolved job \(unresolved job darwin-prebuilds\)/],
  ['YAML that does not parse', 'ci.yml', (text) => text.replace('permissions:\n  contents: read', 'permissions:\n  contents: [read'), /line \d+, column \d+/],
  ['an action on a branch, not a release', 'ci.yml', (text) => text.replace('actions/checkout@v4', 'actions/checkout@main'), /actions\/checkout@main is not pinned to a major version/],
];
for (const [fault, file, plant, said] of faults) {
  test(`${fault} fails the folder, naming ${file}`, (t) => {
    const { status, output } = validate(brokenCopy(t, file, plant));
    assert.equal(status, 1, output);
    assert.match(output, new RegExp(`${file.replace('.', '\\.')} is invalid`));
    assert.match(output, said);
    const other = file === 'ci.yml' ? 'release.yml' : 'ci.yml';
    assert.match(output, new RegExp(`^ok: ${other.replace('.', '\\.')}$`, 'm'), 'the file left alone still passes');
  });
}

test('a folder without a workflow file fails', (t) => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'workflows-'));
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  const { status, output } = validate(folder);
  assert.equal(status, 1);
  assert.match(output, /holds no workflow file/);
});
