#!/usr/bin/env node
// The committed grammar and snippets are exactly what the generator makes of the tables that the
// player prints now (kestrune --list-commands --json): a command, a parameter or a constant added
// to the player and not to the editor fails here.  usage: tables.js KESTRUNE
'use strict';
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');
const { EXTENSION, ROOT, fail, tempDir } = require('./common');
const { GRAMMAR_FILE, SNIPPETS_FILE } = require('../tools/generate');

const kestrune = process.argv[2];
if (!kestrune)
  fail('usage: tables.js KESTRUNE');
const out = tempDir('tables');
const run = spawnSync(process.execPath, [path.join(EXTENSION, 'tools', 'generate.js'), kestrune, out], { stdio: 'inherit' });
if (run.status !== 0)
  fail('tables: the generator failed on the player\'s tables (above)');

let differences = 0;
for (const file of [GRAMMAR_FILE, SNIPPETS_FILE]) {
  const committed = path.join(EXTENSION, file);
  const want = fs.readFileSync(path.join(out, file), 'utf8').split('\n');
  const have = fs.existsSync(committed) ? fs.readFileSync(committed, 'utf8').split('\n') : [];
  const line = want.findIndex((text, i) => text !== have[i]);
  if (line >= 0 || want.length !== have.length) {
    const at = line >= 0 ? line : Math.min(want.length, have.length);
    console.error(`${path.relative(ROOT, committed)}:${at + 1}: differs from the player's tables: ` +
                  `expected ${JSON.stringify(want[at])}, found ${JSON.stringify(have[at])}`);
    ++differences;
  }
}
if (differences > 0)
  fail(`run: node editors/vscode/tools/generate.js ${path.relative(ROOT, path.resolve(kestrune))}`);
console.log('tables: the grammar and the snippets agree with the player\'s tables');
