'use strict';
// Starts `kestrune --lsp` as the scripts' language server (problems as you type, completion,
// hover, go to label, rename, outline, label times) and runs the player for the server's code
// lenses "Play from here", "Author mode from here" and "Render from here". Plain JavaScript: the
// extension has no build step.
const path = require('path');
const vscode = require('vscode');

// The files the server reads as a demo's: scripts, catalogs, config.json and shaders.
const DOCUMENTS = [
  { scheme: 'file', language: 'kestrune' },
  { scheme: 'file', pattern: '**/config.json' },
  { scheme: 'file', pattern: '**/assets/**/*.json' },
  { scheme: 'file', pattern: '**/assets/**/*.{frag,vert,glsl}' },
];

// The code lenses' commands: each gets the demo folder and the label, and runs the player there.
const FROM_LABEL = {
  'kestrune.playFrom': { title: 'play from', args: (root, label) => ['--start', label, root] },
  'kestrune.authorFrom': { title: 'author mode from', args: (root, label) => ['--author', '--start', label, root] },
  'kestrune.renderFrom': {
    title: 'render from',
    args: (root, label) => ['--render', path.join(root, 'out.mp4'), '--start', label, root],
  },
};

let client = null;

function workspaceFolderOf(uri) {
  const folder = uri && vscode.workspace.getWorkspaceFolder ? vscode.workspace.getWorkspaceFolder(uri) : undefined;
  return folder || (vscode.workspace.workspaceFolders || [])[0];
}

// kestrune.executable: a name on PATH as it is, a path relative to the workspace folder made whole
// (as the tasks' shell, which runs there, reads it).
function executable(uri) {
  const configured = vscode.workspace.getConfiguration('kestrune', uri).get('executable', 'kestrune') || 'kestrune';
  const folder = workspaceFolderOf(uri);
  if (!configured.includes('/') || path.isAbsolute(configured) || !folder)
    return configured;
  return path.join(folder.uri.fsPath, configured);
}

function startServer(context) {
  const { LanguageClient, TransportKind } = require('vscode-languageclient/node');
  const folder = workspaceFolderOf();
  const server = {
    command: executable(folder && folder.uri),
    args: ['--lsp'],
    transport: TransportKind.stdio,
    options: folder ? { cwd: folder.uri.fsPath } : {},
  };
  // The server offers only the code lenses whose commands the editor says it runs.
  client = new LanguageClient('kestrune', 'Kestrune', server,
                              { documentSelector: DOCUMENTS, initializationOptions: { commands: Object.keys(FROM_LABEL) } });
  context.subscriptions.push({ dispose: () => stopServer() });
  return client.start();
}

function stopServer() {
  const running = client;
  client = null;
  return running ? running.stop() : undefined;
}

// Runs the player in a terminal of the editor, as the tasks of tasks.json do.
function runFromLabel(command, root, label) {
  const action = FROM_LABEL[command];
  if (typeof root !== 'string' || typeof label !== 'string' || !root || !label)
    return vscode.window.showErrorMessage(`kestrune: ${action.title} a label needs the demo folder and the label`);
  const uri = vscode.Uri.file(root);
  const program = executable(uri);
  const folder = workspaceFolderOf(uri);
  const task = new vscode.Task({ type: 'kestrune', command, label }, folder || vscode.TaskScope.Workspace,
                               `${action.title} ${label}`, 'kestrune',
                               new vscode.ProcessExecution(program, action.args(root, label), { cwd: root }), []);
  return vscode.tasks.executeTask(task);
}

function activate(context) {
  // The running author-mode player: its commands live in player.js.
  require('./player').activate(context);
  for (const command of Object.keys(FROM_LABEL))
    context.subscriptions.push(
      vscode.commands.registerCommand(command, (root, label) => runFromLabel(command, root, label)));
  return startServer(context);
}

function deactivate() {
  return stopServer();
}

module.exports = { activate, deactivate };
