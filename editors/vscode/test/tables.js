#!/usr/bin/env node
// The committed grammar and snippets agree with the tables that the player prints now
// (kestrune --list-commands --json): they are exactly what the generator makes of them, every
// command word and constant gets the scope of its section, and every command has its snippets.
// A command, a parameter or a constant added to the player and not to the editor fails here.
// usage: tables.js KESTRUNE
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync, spawnSync } = require('child_process');
const { EXTENSION, ROOT, fail, requirePackages, tempDir, runGrammarTool } = require('./common');
const { GRAMMAR_FILE, SNIPPETS_FILE } = require('../tools/generate');

const COMMAND_SCOPES = { 'built-in': 'keyword.control.builtin.kestrune', scene: 'support.function.scene.kestrune' };
const CONSTANT_SCOPES = { 'built-in': 'constant.language.builtin.kestrune', scene: 'constant.language.scene.kestrune' };

// One line per command word and per constant (also upper-cased), each with its scope assertion.
function writeScopeTest(tables, file) {
  const lines = ['; SYNTAX TEST "source.kestrune" "every command and constant of the player\'s tables"'];
  for (const command of tables.commands.filter((entry) => !entry.name.startsWith('_')))
    lines.push(command.name, `; <${'-'.repeat(command.name.length)} ${COMMAND_SCOPES[command.section]}`);
  for (const constant of tables.constants)
    for (const written of [constant.name, constant.name.toUpperCase()])
      lines.push(`log ${written}`, `;   ${'^'.repeat(written.length)} ${CONSTANT_SCOPES[constant.section]}`);
  fs.writeFileSync(file, `${lines.join('\n')}\n`);
}

function placeholders(body) {
  return (body.match(/\$\{\d+[:|]/g) || []).length;
}

function checkSnippets(tables) {
  const snippets = JSON.parse(fs.readFileSync(path.join(EXTENSION, SNIPPETS_FILE), 'utf8'));
  const problems = [];
  for (const command of tables.commands.filter((entry) => !entry.name.startsWith('_'))) {
    const required = command.params.filter((param) => !param.optional).length;
    const shapes = [[command.name, required]];
    if (required < command.params.length)
      shapes.push([`${command.name}, all parameters`, command.params.length]);
    for (const [key, count] of shapes) {
      const snippet = snippets[key];
      if (!snippet || snippet.prefix !== command.name || !snippet.body.startsWith(command.name) ||
          placeholders(snippet.body) !== count)
        problems.push(`snippet "${key}" should start with ${command.name} and hold ${count} placeholders: ${JSON.stringify(snippet)}`);
    }
  }
  return problems;
}

const kestrune = process.argv[2];
if (!kestrune)
  fail('usage: tables.js KESTRUNE');
requirePackages();
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

const tables = JSON.parse(execFileSync(kestrune, ['--list-commands', '--json'], { encoding: 'utf8' }));
const snippetProblems = checkSnippets(tables);
if (snippetProblems.length > 0)
  fail(snippetProblems.join('\n'));
const scopeTest = path.join(out, 'tables.test.script');
writeScopeTest(tables, scopeTest);
if (runGrammarTool('unit', [scopeTest]) !== 0)
  fail('tables: the grammar gives a command or a constant of the tables another scope (above)');
console.log(`tables: the grammar and the snippets agree with the player's ${tables.commands.length} commands and ` +
            `${tables.constants.length} constants`);
