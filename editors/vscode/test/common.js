'use strict';
// What the editor tests share: the folders, temporary folders, and a clear stop when the npm
// packages that tools/setup.sh installs are missing.
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');

const EXTENSION = path.resolve(__dirname, '..');
const ROOT = path.resolve(EXTENSION, '..', '..');

function fail(message) {
  console.error(message);
  process.exit(1);
}

function requirePackages() {
  if (!fs.existsSync(path.join(EXTENSION, 'node_modules', 'vscode-tmgrammar-test', 'package.json')))
    fail('editor tests: the npm packages are missing in editors/vscode/node_modules: run bash tools/setup.sh');
}

// Removed when the test ends, whatever the outcome.
function tempDir(name) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `kestrune-${name}-`));
  process.on('exit', () => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// Runs one of the grammar test runners of vscode-tmgrammar-test on the extension's package.json.
function runGrammarTool(tool, args) {
  const script = path.join(EXTENSION, 'node_modules', 'vscode-tmgrammar-test', 'dist', `${tool}.js`);
  const run = spawnSync(process.execPath, [script, '--config', path.join(EXTENSION, 'package.json'), ...args],
                        { stdio: 'inherit' });
  return run.status;
}

module.exports = { EXTENSION, ROOT, fail, requirePackages, tempDir, runGrammarTool };
