#!/usr/bin/env node
// Snapshots of the grammar's tokens over the bundled demo and every example script, kept in
// test/snapshots/NAME.script.snap. After a deliberate change to the grammar or to one of those
// scripts, look at the difference this test prints, then: node test/snapshots.js --update
'use strict';
const fs = require('fs');
const path = require('path');
const { ROOT, fail, requirePackages, tempDir, runGrammarTool } = require('./common');

const SNAPSHOTS = path.join(__dirname, 'snapshots');
const update = process.argv.includes('--update');

function scripts() {
  const found = [['demo', path.join(ROOT, 'assets', 'demo.script')]];
  const examples = path.join(ROOT, 'examples');
  for (const name of fs.readdirSync(examples).sort()) {
    const script = path.join(examples, name, 'assets', 'demo.script');
    if (fs.existsSync(script))
      found.push([name, script]);
  }
  return found;
}

requirePackages();
const work = tempDir('snapshots');
const sources = scripts();
const problems = [];
for (const [name, script] of sources) {
  fs.copyFileSync(script, path.join(work, `${name}.script`));
  const snapshot = path.join(SNAPSHOTS, `${name}.script.snap`);
  if (fs.existsSync(snapshot))
    fs.copyFileSync(snapshot, path.join(work, `${name}.script.snap`));
  else if (!update)
    problems.push(`no snapshot for ${path.relative(ROOT, script)} (${path.relative(ROOT, snapshot)})`);
}
const names = new Set(sources.map(([name]) => `${name}.script.snap`));
for (const file of fs.readdirSync(SNAPSHOTS))
  if (!names.has(file)) {
    if (update)
      fs.rmSync(path.join(SNAPSHOTS, file));
    else
      problems.push(`snapshot ${file} has no script any more`);
  }
if (problems.length > 0)
  fail(`${problems.join('\n')}\nrun: node editors/vscode/test/snapshots.js --update`);

const status = runGrammarTool('snapshot', [...(update ? ['--updateSnapshot'] : []), path.join(work, '*.script')]);
if (status !== 0)
  fail(`the grammar's tokens differ from the snapshots above; if that is meant, run: node editors/vscode/test/snapshots.js --update`);
if (update)
  for (const [name] of sources)
    fs.copyFileSync(path.join(work, `${name}.script.snap`), path.join(SNAPSHOTS, `${name}.script.snap`));
// These scripts pass the checker, so every command word in them is one the grammar must know.
for (const [name, script] of sources) {
  const snapshot = fs.readFileSync(path.join(work, `${name}.script.snap`), 'utf8').split('\n');
  const unknown = snapshot.findIndex((line) => line.includes('meta.command.unknown.kestrune'));
  if (unknown >= 0)
    fail(`${path.relative(ROOT, script)}: a command the grammar does not know: ${snapshot[unknown - 1]}`);
}
console.log(`snapshots: ${sources.length} scripts tokenized as their snapshots say`);
