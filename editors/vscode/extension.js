'use strict';
// Runs the workspace's "Kestrune: check" task whenever a script is saved, so that the checker's
// problems reach the Problems list on save. Plain JavaScript: the extension has no build step.
const vscode = require('vscode');

const CHECK_TASK = 'Kestrune: check';

async function checkOnSave(document) {
  if (document.languageId !== 'kestrune')
    return;
  if (!vscode.workspace.getConfiguration('kestrune', document.uri).get('checkOnSave', true))
    return;
  // A check still running would ask whether to restart it; its result is about to come anyway.
  if (vscode.tasks.taskExecutions.some((execution) => execution.task.name === CHECK_TASK))
    return;
  const check = (await vscode.tasks.fetchTasks()).find((task) => task.name === CHECK_TASK);
  if (check)
    await vscode.tasks.executeTask(check);
}

function activate(context) {
  context.subscriptions.push(vscode.workspace.onDidSaveTextDocument(checkOnSave));
  // The running author-mode player: its commands live in player.js.
  require('./player').activate(context);
}

function deactivate() {}

module.exports = { activate, deactivate };
