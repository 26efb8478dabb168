#!/usr/bin/env node
// The player commands ("show this line in the player", "follow the player") against a stand-in
// for the editor's API and a stand-in player (test/stand-in-player.js) on a real socket, and the
// demo folder they work in against what the real player takes for one.
// usage: player.js KESTRUNE
'use strict';
const assert = require('assert');
const fs = require('fs');
const Module = require('module');
const path = require('path');
const { spawnSync } = require('child_process');
const { fail, tempDir } = require('./common');
const { listen } = require('./stand-in-player');

class Range {
  constructor(startLine, startCharacter, endLine, endCharacter) {
    this.start = { line: startLine, character: startCharacter };
    this.end = { line: endLine, character: endCharacter };
  }
  contains(other) { return other.start.line >= this.start.line && other.end.line <= this.end.line; }
}

const demo = tempDir('player');
fs.mkdirSync(path.join(demo, 'assets'));
const scriptPath = path.join(demo, 'assets', 'demo.script');
const lines = ['; the demo', 'delay 1', ':orbit', 'add_flag 0, 1', 'goto orbit'];
for (let i = lines.length; i < 1000; ++i)
  lines.push(`log line ${i + 1}`);
fs.writeFileSync(scriptPath, `${lines.join('\n')}\n`);

const editor = {
  commands: {}, errors: [], settings: {},
  status: { text: '', shown: false, show() { this.shown = true; }, hide() { this.shown = false; }, dispose() {} },
};
const scriptEditor = {
  document: { uri: { fsPath: scriptPath }, lineAt: (line) => ({ text: lines[line] }) },
  selection: { active: { line: 0, character: 0 } },
  visibleRanges: [new Range(0, 0, 40, 0)],
  decorations: [],
  revealed: [],
  setDecorations(type, ranges) { this.decorations = ranges.map((range) => range.start.line); },
  revealRange(range) { this.revealed.push(range.start.line); },
};
editor.api = {
  Range,
  ThemeColor: class {},
  StatusBarAlignment: { Left: 1 },
  TextEditorRevealType: { InCenterIfOutsideViewport: 2 },
  commands: { registerCommand: (name, run) => { editor.commands[name] = run; return { dispose() {} }; } },
  workspace: {
    workspaceFolders: [{ uri: { fsPath: demo } }],
    getConfiguration: (section) => ({ get: (key, fallback) => editor.settings[`${section}.${key}`] ?? fallback }),
  },
  window: {
    activeTextEditor: scriptEditor,
    visibleTextEditors: [scriptEditor],
    createTextEditorDecorationType: () => ({ dispose() {} }),
    createStatusBarItem: () => editor.status,
    onDidChangeVisibleTextEditors: () => ({ dispose() {} }),
    showErrorMessage: (text) => { editor.errors.push(text); },
  },
};

const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request === 'vscode' ? 'vscode' : resolve.call(this, request, ...rest);
};
require.cache.vscode = { id: 'vscode', filename: 'vscode', loaded: true, exports: editor.api };
const player = require(path.join(__dirname, '..', 'player.js'));
const context = { subscriptions: [] };
const follower = player.activate(context);

const requests = () => {
  const log = path.join(demo, 'requests.log');
  return fs.existsSync(log) ? fs.readFileSync(log, 'utf8').trim().split('\n').map((line) => JSON.parse(line)) : [];
};

// Waits for `probe` (what the extension shows), 20 s at most.
async function until(probe, what) {
  for (let waited = 0; waited < 20000; waited += 20) {
    if (probe())
      return;
    await new Promise((resume) => setTimeout(resume, 20));
  }
  throw new Error(`never: ${what}`);
}

async function showAt(line, character) {
  scriptEditor.selection.active = { line, character };
  return editor.commands['kestrune.showLineInPlayer']();
}

// What makes a demo folder is the player's: for each layout, the extension takes a folder for a
// demo exactly when kestrune does.
function demoFolderAsThePlayer(kestrune) {
  const layouts = {
    empty: [],
    assets_folder: [['dir', 'assets']],
    config_file: [['file', 'config.json']],
    assets_file: [['file', 'assets']],
    config_folder: [['dir', 'config.json']],
    script_only: [['file', 'demo.script']],
  };
  const root = tempDir('layouts');
  const seen = {};
  for (const [name, entries] of Object.entries(layouts)) {
    const folder = path.join(root, name);
    fs.mkdirSync(path.join(folder, 'inside'), { recursive: true });
    for (const [kind, entry] of entries) {
      if (kind === 'dir')
        fs.mkdirSync(path.join(folder, entry));
      else
        fs.writeFileSync(path.join(folder, entry), '{}');
    }
    const run = spawnSync(kestrune, ['--check', folder], { encoding: 'utf8', env: { ...process.env, ALSOFT_DRIVERS: 'null' } });
    if (run.error)
      fail(`player: cannot run ${kestrune}: ${run.error.message}`);
    const playerSays = !run.stderr.includes('is not a demo folder');
    const editorSays = player.demoFolder(path.join(folder, 'inside', 'file.script')) === folder;
    assert.strictEqual(editorSays, playerSays, `${name}: kestrune ${playerSays ? 'plays' : 'refuses'} it as a demo`);
    seen[name] = playerSays;
  }
  assert.deepStrictEqual(Object.values(seen).filter(Boolean).length, 2, `two layouts are demos: ${JSON.stringify(seen)}`);
}

(async () => {
  assert.strictEqual(player.demoFolder(scriptPath), demo, 'the demo folder of the script');
  demoFolderAsThePlayer(process.argv[2] || fail('usage: player.js KESTRUNE'));

  // No player runs: the command starts one (the stand-in, as kestrune.executable) and seeks it.
  editor.settings['kestrune.executable'] = path.join(__dirname, 'stand-in-player.js');
  const started = await showAt(59, 3);
  assert.deepStrictEqual(started, { ok: { step: 600, time: 10, paused: false, speed: 1, label: 'orbit',
    file: 'assets/demo.script', line: 60, ended: false } }, 'the answer of the player it started');
  assert.deepStrictEqual(requests(), [{ seek: { line: 60 } }], 'the started player is seeked to the line');
  const spawned = JSON.parse(fs.readFileSync(path.join(demo, '.kestrune-author'), 'utf8')).pid;
  process.kill(spawned);
  await until(() => { try { process.kill(spawned, 0); return false; } catch (error) { return true; } }, 'the stand-in ends');
  fs.rmSync(path.join(demo, 'requests.log'));
  fs.rmSync(path.join(demo, '.kestrune-author'), { force: true });

  // A running player: the line, or the label under the cursor, is what it is seeked to.
  const running = await listen(demo);
  const seeks = [
    [[1, 0], { line: 2 }],
    [[2, 3], { label: 'orbit' }],        // the label's definition
    [[4, 7], { label: 'orbit' }],        // the name after goto
    [[4, 1], { line: 5 }],               // goto itself: the line
    [[0, 2], { line: 1 }],               // a comment line: the player takes the command after it
  ];
  for (const [[line, character]] of seeks)
    await showAt(line, character);
  assert.deepStrictEqual(requests(), seeks.map(([, seek]) => ({ seek })), 'what each cursor place seeks to');
  assert.deepStrictEqual(editor.errors, [], 'no error for seeks the player takes');
  // The player refuses: the editor says its reason.
  await showAt(949, 0);
  assert.deepStrictEqual(editor.errors, ['Kestrune: assets/demo.script has no command at or after line 950'],
    'the player\'s reason is shown');

  // Follow: off by default; on, the status bar shows the player's time and state, and the line
  // the main flow is on is marked, revealed when it is out of view.
  assert.strictEqual(editor.status.shown, false, 'follow is off by default');
  await editor.commands['kestrune.followPlayer']();
  await until(() => /^Kestrune 0\.167 s playing$/.test(editor.status.text), `status of the state (${editor.status.text})`);
  running.event({ state: { step: 741, time: 12.35, paused: true, speed: 1, label: 'orbit', file: 'assets/demo.script',
    line: 30, ended: false } });
  await until(() => editor.status.text === 'Kestrune 12.350 s paused', `paused in the status (${editor.status.text})`);
  assert.deepStrictEqual(scriptEditor.decorations, [29], 'the running line is marked');
  assert.deepStrictEqual(scriptEditor.revealed, [], 'a line in view is not revealed');
  running.event({ state: { step: 800, time: 13.333, paused: false, speed: 2, label: 'orbit',
    file: 'assets/demo.script', line: 80, ended: false } });
  await until(() => scriptEditor.decorations[0] === 79, 'the mark follows');
  assert.deepStrictEqual(scriptEditor.revealed, [79], 'a line out of view is revealed');
  assert.strictEqual(editor.status.text, 'Kestrune 13.333 s playing 2x');
  // The player goes away: the status says so and the mark goes; a new one is found again.
  await running.close();
  await until(() => editor.status.text === 'Kestrune: no player', 'no player in the status');
  assert.deepStrictEqual(scriptEditor.decorations, [], 'no mark without a player');
  const again = await listen(demo);
  await until(() => /playing$/.test(editor.status.text), 'following a player that starts later');
  // Off: the mark and the status go, and the connection ends.
  await editor.commands['kestrune.followPlayer']();
  assert.strictEqual(editor.status.shown, false, 'the status item hides');
  assert.deepStrictEqual(scriptEditor.decorations, []);
  await until(() => again.clients.length === 0, 'the connection ends');
  await again.close();
  follower.dispose();
  console.log(`player: ${seeks.length + 2} seeks from the cursor and the follow mode worked against a stand-in player`);
})().catch((error) => fail(`player: ${error.stack || error.message}`));
