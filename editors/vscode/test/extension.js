#!/usr/bin/env node
// The extension's check on save, against a stand-in for the editor's API: saving a script runs
// the workspace's check task once, and nothing else does.
'use strict';
const assert = require('assert');
const Module = require('module');
const path = require('path');
const { fail } = require('./common');

function standIn() {
  const editor = { saveListeners: [], tasks: [], running: [], executed: [], settings: {} };
  editor.api = {
    workspace: {
      onDidSaveTextDocument: (listener) => {
        editor.saveListeners.push(listener);
        return { dispose() {} };
      },
      getConfiguration: (section) => ({ get: (key, fallback) => editor.settings[`${section}.${key}`] ?? fallback }),
    },
    // The player's commands (test/player.js tests them) need these to register.
    commands: { registerCommand: () => ({ dispose() {} }) },
    window: {
      createTextEditorDecorationType: () => ({ dispose() {} }),
      createStatusBarItem: () => ({ show() {}, hide() {}, dispose() {} }),
      onDidChangeVisibleTextEditors: () => ({ dispose() {} }),
    },
    ThemeColor: class {},
    StatusBarAlignment: { Left: 1 },
    tasks: {
      get taskExecutions() { return editor.running.map((task) => ({ task })); },
      fetchTasks: async () => editor.tasks,
      executeTask: async (task) => { editor.executed.push(task.name); },
    },
  };
  return editor;
}

const editor = standIn();
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request === 'vscode' ? 'vscode' : resolve.call(this, request, ...rest);
};
require.cache.vscode = { id: 'vscode', filename: 'vscode', loaded: true, exports: editor.api };
const extension = require(path.join(__dirname, '..', 'extension.js'));
const context = { subscriptions: [] };
extension.activate(context);

async function save(languageId) {
  const before = editor.executed.length;
  await Promise.all(editor.saveListeners.map((listener) => listener({ languageId, uri: {} })));
  return editor.executed.slice(before);
}

const check = { name: 'Kestrune: check' };
const cases = [
  ['a script, no check task in the workspace', () => { editor.tasks = [{ name: 'build' }]; }, 'kestrune', []],
  ['a script', () => { editor.tasks = [{ name: 'build' }, check]; }, 'kestrune', ['Kestrune: check']],
  ['another language', () => {}, 'json', []],
  ['a script while a check runs', () => { editor.running = [check]; }, 'kestrune', []],
  ['a script with kestrune.checkOnSave off', () => {
    editor.running = [];
    editor.settings['kestrune.checkOnSave'] = false;
  }, 'kestrune', []],
];

(async () => {
  assert.strictEqual(editor.saveListeners.length, 1, 'activate registers one save listener');
  for (const [name, arrange, languageId, expected] of cases) {
    arrange();
    assert.deepStrictEqual(await save(languageId), expected, `saving ${name}`);
  }
  console.log(`extension: ${cases.length} saves ran the check task when they should`);
})().catch((error) => fail(`extension: ${error.message}`));
