'use strict';
// The editor and the running author-mode player, linked through the player's control channel
// (a Unix socket announced in DEMO/.kestrune-author): "show this line in the player" seeks the
// player to the cursor's line or label, starting one when none runs; "follow the player" marks
// the line the main flow is on as the player plays, steps or seeks.
const vscode = require('vscode');
const fs = require('fs');
const net = require('net');
const path = require('path');
const { spawn } = require('child_process');

const ANNOUNCEMENT = '.kestrune-author';

// A demo's folder holds an assets/ folder or a config.json file, as the player decides it
// (test/player.js holds this to what kestrune accepts). The script's path inside the demo is the
// player's to say: its state events name the file.
function isDemo(dir) {
  const kind = (name) => { try { return fs.statSync(path.join(dir, name)); } catch (error) { return null; } };
  const assets = kind('assets');
  const config = kind('config.json');
  return Boolean((assets && assets.isDirectory()) || (config && config.isFile()));
}

// The demo a folder belongs to: the nearest folder at or above it that is a demo, or the folder.
function demoFolderOf(start) {
  for (let dir = start; ; ) {
    if (isDemo(dir))
      return dir;
    const up = path.dirname(dir);
    if (up === dir)
      return start;
    dir = up;
  }
}

// The demo a file belongs to.
function demoFolder(file) {
  return demoFolderOf(path.dirname(file));
}

function announcedSocket(demo) {
  try {
    return JSON.parse(fs.readFileSync(path.join(demo, ANNOUNCEMENT), 'utf8')).socket || null;
  } catch (error) {
    return null;
  }
}

// A connection to the player of `demo`: request lines out, answers and events in. Resolves
// to null when no player listens there.
function connect(demo, onEvent) {
  const socketPath = announcedSocket(demo);
  if (!socketPath)
    return Promise.resolve(null);
  return new Promise((resolve) => {
    const socket = net.createConnection(socketPath);
    const waiting = [];
    let buffer = '';
    const link = {
      socket,
      ask(request) {
        return new Promise((answer) => {
          waiting.push(answer);
          socket.write(`${JSON.stringify(request)}\n`);
        });
      },
      close() { socket.destroy(); },
    };
    socket.setEncoding('utf8');
    socket.on('connect', () => resolve(link));
    socket.on('error', () => {
      resolve(null);
      while (waiting.length)
        waiting.shift()({ error: 'the player closed the connection' });
    });
    socket.on('close', () => {
      while (waiting.length)
        waiting.shift()({ error: 'the player closed the connection' });
      if (link.onClose)
        link.onClose();
    });
    socket.on('data', (data) => {
      buffer += data;
      let end;
      while ((end = buffer.indexOf('\n')) >= 0) {
        const line = buffer.slice(0, end);
        buffer = buffer.slice(end + 1);
        let message;
        try {
          message = JSON.parse(line);
        } catch (error) {
          continue;
        }
        if ('ok' in message || 'error' in message) {
          const answer = waiting.shift();
          if (answer)
            answer(message);
        } else if (onEvent) {
          onEvent(message);
        }
      }
    });
  });
}

// What to seek to for the cursor: the label when the cursor is on a label's name (its
// definition, or after goto / gosub), otherwise the line.
function seekFor(document, position) {
  const text = document.lineAt(position.line).text;
  const definition = /^\s*:([^\s:]+)/.exec(text);
  if (definition)
    return { label: definition[1] };
  const jump = /^\s*(goto|gosub)\s+(\S+)/i.exec(text);
  if (jump) {
    const start = text.indexOf(jump[2], jump[1].length);
    if (position.character >= start && position.character <= start + jump[2].length)
      return { label: jump[2] };
  }
  return { line: position.line + 1 };
}

function executable(demo) {
  const setting = vscode.workspace.getConfiguration('kestrune').get('executable', 'kestrune');
  const folder = vscode.workspace.workspaceFolders && vscode.workspace.workspaceFolders[0];
  return setting.includes('/') && !path.isAbsolute(setting) ? path.resolve(folder ? folder.uri.fsPath : demo, setting)
    : setting;
}

// Starts `kestrune --author DEMO` and waits (at most a minute) until its channel answers.
async function startPlayer(demo) {
  const child = spawn(executable(demo), ['--author', demo], { cwd: demo, detached: true, stdio: 'ignore' });
  let failed = null;
  child.on('error', (error) => { failed = error.message; });
  child.unref();
  for (let waited = 0; waited < 60000 && failed === null; waited += 100) {
    const link = await connect(demo);
    if (link)
      return link;
    await new Promise((resume) => setTimeout(resume, 100));
  }
  throw new Error(`kestrune --author did not start: ${failed || 'its channel never opened'}`);
}

async function showLine() {
  const editor = vscode.window.activeTextEditor;
  if (!editor)
    return;
  const demo = demoFolder(editor.document.uri.fsPath);
  const where = seekFor(editor.document, editor.selection.active);
  let link = await connect(demo);
  try {
    if (!link)
      link = await startPlayer(demo);
    const answer = await link.ask({ seek: where });
    if ('error' in answer)
      vscode.window.showErrorMessage(`Kestrune: ${answer.error}`);
    return answer;
  } catch (error) {
    vscode.window.showErrorMessage(`Kestrune: ${error.message}`);
    return { error: error.message };
  } finally {
    if (link)
      link.close();
  }
}

// "Follow the player": one connection kept while on, tried again every two seconds when no
// player runs; its state events mark the line and feed the status-bar item.
class Follower {
  constructor() {
    this.on = false;
    this.link = null;
    this.retry = null;
    this.demo = null;
    this.decoration = vscode.window.createTextEditorDecorationType({
      isWholeLine: true,
      backgroundColor: new vscode.ThemeColor('editor.stackFrameHighlightBackground'),
    });
    this.status = vscode.window.createStatusBarItem(vscode.StatusBarAlignment.Left);
    this.status.command = 'kestrune.followPlayer';
  }

  async toggle() {
    this.on = !this.on;
    if (!this.on) {
      this.stop();
      return;
    }
    const editor = vscode.window.activeTextEditor;
    const folder = vscode.workspace.workspaceFolders && vscode.workspace.workspaceFolders[0];
    this.demo = editor ? demoFolder(editor.document.uri.fsPath) : demoFolderOf(folder.uri.fsPath);
    this.status.text = 'Kestrune: no player';
    this.status.show();
    await this.connect();
  }

  async connect() {
    this.retry = null;
    if (!this.on || this.link)
      return;
    const link = await connect(this.demo, (event) => this.hear(event));
    if (!link) {
      this.retry = setTimeout(() => this.connect(), 2000);
      return;
    }
    this.link = link;
    link.onClose = () => {
      this.link = null;
      this.status.text = 'Kestrune: no player';
      this.mark(null);
      if (this.on && !this.retry)
        this.retry = setTimeout(() => this.connect(), 2000);
    };
    const answer = await link.ask({ state: true });
    if ('ok' in answer)
      this.hear({ state: answer.ok });
  }

  stop() {
    if (this.retry)
      clearTimeout(this.retry);
    this.retry = null;
    if (this.link) {
      this.link.onClose = null;
      this.link.close();
    }
    this.link = null;
    this.mark(null);
    this.status.hide();
  }

  hear(event) {
    if (!this.on || !event.state)
      return;
    const state = event.state;
    const doing = state.ended ? 'ended' : state.paused ? 'paused' : 'playing';
    this.status.text = `Kestrune ${state.time.toFixed(3)} s ${doing}${state.speed !== 1 ? ` ${state.speed}x` : ''}`;
    this.mark(state.line ? { file: path.join(this.demo, state.file), line: state.line - 1 } : null);
  }

  // Marks the line in every editor of the script, revealing it when it has left the view.
  mark(place) {
    this.place = place;
    for (const editor of vscode.window.visibleTextEditors) {
      if (!place || path.resolve(editor.document.uri.fsPath) !== path.resolve(place.file)) {
        editor.setDecorations(this.decoration, []);
        continue;
      }
      const range = new vscode.Range(place.line, 0, place.line, 0);
      editor.setDecorations(this.decoration, [range]);
      if (!editor.visibleRanges.some((visible) => visible.contains(range)))
        editor.revealRange(range, vscode.TextEditorRevealType.InCenterIfOutsideViewport);
    }
  }

  dispose() {
    this.on = false;
    this.stop();
    this.decoration.dispose();
    this.status.dispose();
  }
}

function activate(context) {
  const follower = new Follower();
  context.subscriptions.push(
    vscode.commands.registerCommand('kestrune.showLineInPlayer', showLine),
    vscode.commands.registerCommand('kestrune.followPlayer', () => follower.toggle()),
    // An editor of the script opened while following gets the mark at once.
    vscode.window.onDidChangeVisibleTextEditors(() => { if (follower.on) follower.mark(follower.place); }),
    follower);
  return follower;
}

module.exports = { activate, demoFolder, seekFor };
