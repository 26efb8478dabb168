#!/usr/bin/env node
// The extension against a stand-in for the editor's API: activating it starts `kestrune --lsp`
// through vscode-languageclient with the configured program, the code lenses' commands run the
// player from a label, and deactivating stops the server. The language client is a recording
// stand-in too; the real, pinned package is loaded once to show that what the extension uses exists.
'use strict';
const assert = require('assert');
const Module = require('module');
const path = require('path');
const { EXTENSION, fail } = require('./common');

const WORKSPACE = '/home/author/demos';

function standIn() {
  const editor = { commands: new Map(), executed: [], errors: [], settings: {}, clients: [] };
  class Task {
    constructor(definition, scope, name, source, execution, matchers) {
      Object.assign(this, { definition, scope, name, source, execution, matchers });
    }
  }
  class ProcessExecution {
    constructor(process, args, options) {
      Object.assign(this, { process, args, options });
    }
  }
  const folder = { uri: { fsPath: WORKSPACE }, name: 'demos', index: 0 };
  editor.api = {
    Task,
    ProcessExecution,
    TaskScope: { Workspace: 2 },
    Uri: { file: (fsPath) => ({ fsPath, scheme: 'file' }) },
    workspace: {
      workspaceFolders: [folder],
      getWorkspaceFolder: (uri) => (uri && uri.fsPath.startsWith(`${WORKSPACE}/`) ? folder : undefined),
      getConfiguration: (section) => ({ get: (key, fallback) => editor.settings[`${section}.${key}`] ?? fallback }),
    },
    commands: {
      registerCommand: (name, handler) => {
        editor.commands.set(name, handler);
        return { dispose() { editor.commands.delete(name); } };
      },
    },
    tasks: { executeTask: async (task) => { editor.executed.push(task); } },
    window: {
      showErrorMessage: async (message) => { editor.errors.push(message); },
      // The player's commands (test/player.js tests them) need these to register.
      createTextEditorDecorationType: () => ({ dispose() {} }),
      createStatusBarItem: () => ({ show() {}, hide() {}, dispose() {} }),
      onDidChangeVisibleTextEditors: () => ({ dispose() {} }),
      visibleTextEditors: [],
    },
    ThemeColor: class {},
    StatusBarAlignment: { Left: 1 },
  };
  // vscode-languageclient/node as the extension uses it: a constructor, start and stop.
  editor.languageClient = {
    TransportKind: { stdio: 0, ipc: 1, pipe: 2, socket: 3 },
    LanguageClient: class {
      constructor(id, name, serverOptions, clientOptions) {
        Object.assign(this, { id, name, serverOptions, clientOptions, state: 'new' });
        editor.clients.push(this);
      }
      async start() { this.state = 'running'; }
      async stop() { this.state = 'stopped'; }
    },
  };
  return editor;
}

const editor = standIn();
const resolve = Module._resolveFilename;
const standIns = { vscode: editor.api, 'vscode-languageclient/node': editor.languageClient };
Module._resolveFilename = function (request, ...rest) {
  return request in standIns ? request : resolve.call(this, request, ...rest);
};
for (const [name, exports] of Object.entries(standIns))
  require.cache[name] = { id: name, filename: name, loaded: true, exports };

function freshExtension() {
  const file = path.join(EXTENSION, 'extension.js');
  delete require.cache[require.resolve(file)];
  return require(file);
}

async function activated(settings) {
  editor.settings = settings;
  editor.commands.clear();
  const extension = freshExtension();
  const context = { subscriptions: [] };
  await extension.activate(context);
  return { extension, context, client: editor.clients[editor.clients.length - 1] };
}

// [setting, the program the server and the commands run]
const programs = [
  [undefined, 'kestrune'],
  ['/opt/kestrune/bin/kestrune', '/opt/kestrune/bin/kestrune'],
  ['build/kestrune', `${WORKSPACE}/build/kestrune`],
  ['kestrune-dev', 'kestrune-dev'],
];

const root = `${WORKSPACE}/space`;
// [command, arguments, what the player gets]
const lenses = [
  ['kestrune.playFrom', [root, 'orbit'], ['--start', 'orbit', root]],
  ['kestrune.authorFrom', [root, 'orbit'], ['--author', '--start', 'orbit', root]],
  ['kestrune.renderFrom', [root, 'finale'], ['--render', `${root}/out.mp4`, '--start', 'finale', root]],
];

(async () => {
  // The pinned package itself loads against the editor's API and has what the extension calls.
  const real = (() => {
    delete require.cache['vscode-languageclient/node'];
    delete standIns['vscode-languageclient/node'];
    const classes = new Proxy(editor.api, {
      get: (target, key) => target[key] ?? (/^[A-Z]/.test(String(key)) ? (target[key] = class {}) : undefined),
    });
    require.cache.vscode.exports = classes;
    const loaded = require(require.resolve('vscode-languageclient/node', { paths: [EXTENSION] }));
    require.cache.vscode.exports = editor.api;
    standIns['vscode-languageclient/node'] = editor.languageClient;
    require.cache['vscode-languageclient/node'] = { id: 'x', filename: 'x', loaded: true, exports: editor.languageClient };
    return loaded;
  })();
  assert.strictEqual(typeof real.LanguageClient, 'function', 'vscode-languageclient/node exports LanguageClient');
  for (const method of ['start', 'stop'])
    assert.strictEqual(typeof real.LanguageClient.prototype[method], 'function', `LanguageClient.prototype.${method}`);
  assert.strictEqual(real.TransportKind.stdio, editor.languageClient.TransportKind.stdio, 'TransportKind.stdio');

  for (const [setting, program] of programs) {
    const { extension, context, client } = await activated(setting === undefined ? {} : { 'kestrune.executable': setting });
    assert.ok(client, 'activate makes a language client');
    assert.strictEqual(client.state, 'running', 'activate starts the client');
    assert.deepStrictEqual(client.serverOptions,
                           { command: program, args: ['--lsp'], transport: 0, options: { cwd: WORKSPACE } },
                           `the server with kestrune.executable = ${setting}`);
    const selector = client.clientOptions.documentSelector;
    assert.ok(selector.some((entry) => entry.language === 'kestrune' && entry.scheme === 'file'), 'scripts go to the server');
    assert.ok(selector.some((entry) => entry.pattern === '**/assets/**/*.json'), 'catalogs go to the server');
    for (const [command] of lenses)
      assert.ok(editor.commands.has(command), `the code lens command ${command} is registered`);
    // The server offers only lenses whose commands the editor names as its own.
    assert.deepStrictEqual(client.clientOptions.initializationOptions.commands.sort(), lenses.map(([command]) => command).sort(),
                           'the code lens commands are named to the server');

    for (const [command, args, expected] of lenses) {
      const before = editor.executed.length;
      await editor.commands.get(command)(...args);
      const ran = editor.executed.slice(before);
      assert.strictEqual(ran.length, 1, `${command} runs one task`);
      assert.strictEqual(ran[0].execution.process, program, `${command} runs ${program}`);
      assert.deepStrictEqual(ran[0].execution.args, expected, `${command}'s arguments`);
      assert.strictEqual(ran[0].execution.options.cwd, root, `${command} runs in the demo folder`);
    }
    // A lens without its arguments (an older server) says so and runs nothing.
    const before = editor.executed.length;
    await editor.commands.get('kestrune.playFrom')();
    assert.strictEqual(editor.executed.length, before, 'no task without a label');
    assert.match(editor.errors.pop() || '', /needs the demo folder and the label/);

    await extension.deactivate();
    assert.strictEqual(client.state, 'stopped', 'deactivate stops the client');
    for (const subscription of context.subscriptions)
      subscription.dispose();
  }
  console.log(`extension: the server starts and stops with ${programs.length} settings of kestrune.executable; ` +
              `${lenses.length} code lens commands run the player from a label`);
})().catch((error) => fail(`extension: ${error.stack || error.message}`));
