'use strict';
// Drives `kestrune --lsp` through the protocol's reference implementation (vscode-jsonrpc and
// vscode-languageserver-protocol): a recorded edit of the bundled demo (open, type a mistake, see
// it, fix it), then one table row per request with the place and what must come back, the label
// times against `kestrune --timeline`, and the protocol's rules at the edges.
//
// usage: node lsp.js <kestrune> [part...]
const fs = require('fs');
const path = require('path');
const assert = require('assert');
const { spawn, spawnSync } = require('child_process');
const { ROOT, fail, tempDir } = require('./common');

let rpc, proto;
try {
  rpc = require('vscode-jsonrpc/node');
  proto = require('vscode-languageserver-protocol');
} catch (error) {
  fail('lsp test: the npm packages are missing in editors/vscode/node_modules: run bash tools/setup.sh');
}

const kestrune = path.resolve(process.argv[2] || fail('usage: node lsp.js <kestrune>'));

// A copy of the bundled demo, so that nothing the server or the test does touches the repository.
const demo = tempDir('lsp');
fs.cpSync(path.join(ROOT, 'assets'), path.join(demo, 'assets'), { recursive: true });
fs.copyFileSync(path.join(ROOT, 'config.json'), path.join(demo, 'config.json'));
const scriptPath = path.join(demo, 'assets', 'demo.script');
const uri = 'file://' + scriptPath;
const scriptText = fs.readFileSync(scriptPath, 'utf8');
const lineOf = (text) => scriptText.split('\n').findIndex((line) => line === text);

function startServer() {
  const child = spawn(kestrune, ['--lsp'], { stdio: ['pipe', 'pipe', 'inherit'], env: { ...process.env, ALSOFT_DRIVERS: 'null' } });
  const connection = rpc.createMessageConnection(new rpc.StreamMessageReader(child.stdout),
                                                 new rpc.StreamMessageWriter(child.stdin));
  const diagnostics = new Map();
  const waiters = [];
  connection.onNotification(proto.PublishDiagnosticsNotification.type, (params) => {
    diagnostics.set(params.uri, params.diagnostics);
    for (const waiter of waiters.slice())
      if (waiter.uri === params.uri && waiter.test(params.diagnostics)) {
        waiters.splice(waiters.indexOf(waiter), 1);
        waiter.resolve(params.diagnostics);
      }
  });
  connection.onRequest(proto.InlayHintRefreshRequest.type, () => null);
  connection.listen();
  // Waits for what the server says, never for a fixed time (ctest's timeout ends a hang).
  const diagnosticsFor = (target, test) => new Promise((resolve) => {
    const known = diagnostics.get(target);
    if (known && test(known))
      return resolve(known);
    waiters.push({ uri: target, test, resolve });
  });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return { child, connection, diagnosticsFor, exited };
}

const at = (line, character) => ({ textDocument: { uri }, position: { line, character } });
// The one-line descriptions as the player's tables hold them.
const described = new Map(JSON.parse(spawnSync(kestrune, ['--list-commands', '--json'], { encoding: 'utf8' }).stdout)
  .commands.map((command) => [command.name, command.description]));
const labels = (items) => (items.items || items).map((item) => item.label);
const LENS_COMMANDS = ['kestrune.playFrom', 'kestrune.authorFrom', 'kestrune.renderFrom'];
const range = (line, from, to) => ({ start: { line, character: from }, end: { line, character: to } });

async function recordedEdit(server) {
  const { connection, diagnosticsFor } = server;
  // As the VS Code extension starts it: snippets, and the code lenses' commands run by the editor.
  const init = await connection.sendRequest(proto.InitializeRequest.type,
    { processId: process.pid, rootUri: null, initializationOptions: { commands: LENS_COMMANDS },
      capabilities: { workspace: { inlayHint: { refreshSupport: true } },
                      textDocument: { completion: { completionItem: { snippetSupport: true } } } } });
  assert.strictEqual(init.capabilities.textDocumentSync.change, proto.TextDocumentSyncKind.Incremental);
  connection.sendNotification(proto.InitializedNotification.type, {});
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri, languageId: 'kestrune', version: 1, text: scriptText } });
  await diagnosticsFor(uri, (list) => list.length === 0);

  // Type a mistake: "sky" becomes "skyy" in the first tween.
  const line = lineOf('object_tween_y sky, 0, 3, %ease_out_expo');
  connection.sendNotification(proto.DidChangeTextDocumentNotification.type, {
    textDocument: { uri, version: 2 },
    contentChanges: [{ range: { start: { line, character: 18 }, end: { line, character: 18 } }, text: 'y' }] });
  const seen = await diagnosticsFor(uri, (list) => list.length > 0);
  assert.strictEqual(seen.length, 1, JSON.stringify(seen));
  assert.deepStrictEqual(seen[0].range, { start: { line, character: 15 }, end: { line, character: 19 } });
  assert.strictEqual(seen[0].severity, proto.DiagnosticSeverity.Error);
  assert.strictEqual(seen[0].code, 'object_or_buffer');
  assert.match(seen[0].message, /object "skyy" is never created/);

  // Fix it again.
  connection.sendNotification(proto.DidChangeTextDocumentNotification.type, {
    textDocument: { uri, version: 3 },
    contentChanges: [{ range: { start: { line, character: 18 }, end: { line, character: 19 } }, text: '' }] });
  await diagnosticsFor(uri, (list) => list.length === 0);
  console.log('ok - recorded edit: a mistake typed is reported at its parameter, and cleared when fixed');
}

async function table(server) {
  const { connection } = server;
  const tween = lineOf('object_tween_y sky, 0, 3, %ease_out_expo');
  const music = lineOf('play_music arpeggio');
  const jump = lineOf('goto orbit');
  const orbit = lineOf(':orbit');
  const makeSky = lineOf('create_object sky, sky');
  const skyLines = scriptText.split('\n').map((text, i) => [text, i])
    .filter(([text]) => /^(object_\w+|draw_object main,|create_object) ?(main, )?sky\b/.test(text)).length;
  const rows = [
    ['completion: command words at the start of a line', proto.CompletionRequest.type, at(music, 0), (result) => {
      const tweenX = result.items.find((item) => item.label === 'object_tween_x');
      assert.ok(tweenX, 'object_tween_x offered');
      assert.match(tweenX.detail, /^object_tween_x object:object_or_buffer, target:number, seconds:number/);
      assert.strictEqual(tweenX.insertText, 'object_tween_x ${1:object}, ${2:target}, ${3:seconds}');
      assert.strictEqual(tweenX.insertTextFormat, proto.InsertTextFormat.Snippet);
      assert.strictEqual(tweenX.documentation, described.get('object_tween_x'));
    }],
    ['completion: song keys after play_music', proto.CompletionRequest.type, at(music, 11),
     (result) => assert.deepStrictEqual(labels(result), ['arpeggio'])],
    ['completion: objects and buffers the script creates', proto.CompletionRequest.type, at(tween, 15), (result) => {
      for (const name of ['sky', 'planet', 'orb3', 'main'])
        assert.ok(labels(result).includes(name), name);
      assert.ok(!labels(result).includes('stardust'), 'a particle binding is not an object');
    }],
    ['completion: easing constants with their curve', proto.CompletionRequest.type, at(tween, 26), (result) => {
      const expo = result.items.find((item) => item.label === '%ease_out_expo');
      assert.ok(expo && /out_expo/.test(expo.detail), JSON.stringify(expo));
      assert.ok(labels(result).includes('%forever'));
    }],
    ['completion: the animations of the file the object loads', proto.CompletionRequest.type,
     at(lineOf('object_play_animation orb2, flash'), 'object_play_animation orb2, '.length),
     (result) => assert.deepStrictEqual(labels(result).sort(), ['flash', 'pulse'])],
    ['completion: animation files', proto.CompletionRequest.type,
     at(lineOf('object_load_animations orb1, assets/orb.anim.json'), 'object_load_animations orb1, '.length),
     (result) => assert.deepStrictEqual(labels(result), ['assets/orb.anim.json'])],
    ['completion: labels after a jump, not the sections the player runs by name', proto.CompletionRequest.type,
     at(jump, 5), (result) => assert.deepStrictEqual(labels(result).sort(), ['orbit'])],
    ['completion: a constant being typed is replaced whole, from its "%"', proto.CompletionRequest.type,
     at(tween, 'object_tween_y sky, 0, 3, %ease_o'.length), (result) => {
      const expo = result.items.find((item) => item.label === '%ease_out_expo');
      assert.deepStrictEqual(expo.textEdit, { range: range(tween, 26, 40), newText: '%ease_out_expo' });
      assert.ok(result.items.every((item) => item.textEdit && item.textEdit.range.start.character === 26));
    }],
    ['completion: a command word replaces the word typed, as a snippet', proto.CompletionRequest.type,
     at(music, 4), (result) => {
      const tweenX = result.items.find((item) => item.label === 'object_tween_x');
      assert.deepStrictEqual(tweenX.textEdit,
        { range: range(music, 0, 10), newText: 'object_tween_x ${1:object}, ${2:target}, ${3:seconds}' });
    }],
    ['hover: a numeric easing\'s curve', proto.HoverRequest.type,
     at(lineOf('object_tween_y orb1, 860, 1.6, 2'), 'object_tween_y orb1, 860, 1.6, '.length),
     (result) => assert.match(result.contents.value, /easing 2: \*\*/)],
    ['definition: an animation name to its entry in the file the object loads', proto.DefinitionRequest.type,
     at(lineOf('object_play_animation orb2, flash'), 'object_play_animation orb2, f'.length), (result) => {
      assert.strictEqual(result.uri, 'file://' + path.join(demo, 'assets', 'orb.anim.json'));
      const file = fs.readFileSync(path.join(demo, 'assets', 'orb.anim.json'), 'utf8').split('\n');
      assert.match(file[result.range.start.line].slice(result.range.start.character), /^"flash"/);
    }],
    ['definition: an animation file to the file', proto.DefinitionRequest.type,
     at(lineOf('object_load_animations orb1, assets/orb.anim.json'), 'object_load_animations orb1, assets/o'.length),
     (result) => assert.deepStrictEqual(result,
       { uri: 'file://' + path.join(demo, 'assets', 'orb.anim.json'), range: range(0, 0, 0) })],
    ['hover: a command\'s signature', proto.HoverRequest.type, at(tween, 3),
     (result) => {
       assert.match(result.contents.value, /object_tween_y object:object_or_buffer, target:number/);
       assert.ok(described.get('object_tween_y'), 'object_tween_y has a description in the listing');
       assert.ok(result.contents.value.includes(described.get('object_tween_y')), result.contents.value);
     }],
    ['hover: an easing constant\'s curve', proto.HoverRequest.type, at(tween, 30),
     (result) => assert.match(result.contents.value, /easing 15: \*\*out_expo\*\*/)],
    ['hover: a catalog entry', proto.HoverRequest.type, at(music, 13), (result) => {
      assert.match(result.contents.value, /song \*\*arpeggio\*\* in assets\/music\.json:\d+/);
      assert.match(result.contents.value, /"file": "assets\/music\/arpeggio\.wav"/);
    }],
    ['definition: a jump to its label', proto.DefinitionRequest.type, at(jump, 6),
     (result) => assert.deepStrictEqual(result.range, { start: { line: orbit, character: 1 }, end: { line: orbit, character: 6 } })],
    ['definition: an object to the line that creates it', proto.DefinitionRequest.type, at(tween, 16),
     (result) => assert.deepStrictEqual(result.range.start, { line: makeSky, character: 14 })],
    ['definition: a catalog key to its entry', proto.DefinitionRequest.type, at(music, 13), (result) => {
      assert.strictEqual(result.uri, 'file://' + path.join(demo, 'assets', 'music.json'));
      const catalog = fs.readFileSync(path.join(demo, 'assets', 'music.json'), 'utf8').split('\n');
      assert.match(catalog[result.range.start.line].slice(result.range.start.character), /^"arpeggio"/);
    }],
    ['references: every use of an object', proto.ReferencesRequest.type,
     { ...at(tween, 16), context: { includeDeclaration: true } }, (result) => {
      assert.strictEqual(result.length, skyLines);
      assert.ok(result.some((found) => found.range.start.line === makeSky));
    }],
    ['rename: a label and its jumps', proto.RenameRequest.type, { ...at(orbit, 3), newName: 'circle' }, (result) => {
      const edits = result.changes[uri];
      assert.deepStrictEqual(edits.map((edit) => edit.range.start.line).sort((a, b) => a - b), [orbit, jump]);
      assert.ok(edits.every((edit) => edit.newText === 'circle'));
    }],
    ['outline: the main flow, the labels and the sections', proto.DocumentSymbolRequest.type, { textDocument: { uri } },
     (result) => assert.deepStrictEqual(result.map((symbol) => symbol.name), ['main flow', ':orbit', ':init', ':render'])],
    ['folding: if blocks and sections', proto.FoldingRangeRequest.type, { textDocument: { uri } }, (result) => {
      assert.ok(result.some((range) => range.startLine === jump - 1 && range.endLine === jump + 1), 'the if block');
      assert.ok(result.some((range) => range.startLine === lineOf(':init') && range.endLine === lineOf(':render') - 2));
    }],
    ['code lens: play, author mode and render from a label', proto.CodeLensRequest.type, { textDocument: { uri } },
     (result) => assert.deepStrictEqual(result.map((lens) => [lens.range.start.line, lens.command.title]),
       [[orbit, 'Play from here'], [orbit, 'Author mode from here'], [orbit, 'Render from here']])],
  ];
  // Renames that would make two of one name are refused with an error the editor shows.
  const refused = [
    ['a label to an existing label', { ...at(orbit, 3), newName: 'render' }, /label "render" exists/],
    ['a label to the init section', { ...at(orbit, 3), newName: 'init' }, /label "init" exists/],
    ['an object to an existing object', { ...at(lineOf('create_object orb3, orb, 32, 32, 0, 0, 64, 64'), 15), newName: 'orb2' },
     /"orb2" exists/],
  ];
  for (const [name, params, message] of refused) {
    const outcome = await connection.sendRequest(proto.RenameRequest.type, params).then(
      (result) => ({ result }), (error) => ({ error }));
    if (!outcome.error || outcome.error.code !== proto.LSPErrorCodes.RequestFailed || !message.test(outcome.error.message)) {
      console.error(`not ok - rename refuses ${name}: ${JSON.stringify(outcome).slice(0, 600)}`);
      throw new Error(`rename ${name} is not refused`);
    }
    console.log(`ok - rename refuses ${name}: ${outcome.error.message}`);
  }
  for (const [name, type, params, check] of rows) {
    const result = await connection.sendRequest(type, params);
    try {
      check(result);
    } catch (error) {
      console.error(`not ok - ${name}: ${JSON.stringify(result).slice(0, 600)}`);
      throw error;
    }
    console.log(`ok - ${name}`);
  }
}

// The inlay hint of a label is the arrival that `kestrune --timeline` prints, which runs the same
// seek as --start; without a display both say the time is unknown.
async function labelTimes(server) {
  const { connection } = server;
  const orbit = lineOf(':orbit');
  const cli = spawnSync(kestrune, ['--timeline', '--json', demo], { env: { ...process.env, ALSOFT_DRIVERS: 'null' } });
  const hints = async () => connection.sendRequest(proto.InlayHintRequest.type,
    { textDocument: { uri }, range: { start: { line: 0, character: 0 }, end: { line: 200, character: 0 } } });
  let result = await hints();
  while (result.length === 0 || /being worked out|not worked out/.test(result[0].label)) {
    await new Promise((resolve) => setImmediate(resolve));
    result = await hints();
  }
  if (cli.status !== 0) {
    assert.match(result[0].label, /unknown/);
    console.log('ok - label times: no display, and the hint says the time is unknown');
    return;
  }
  const timeline = JSON.parse(cli.stdout.toString());
  const entry = timeline.labels.find((label) => label.label === 'orbit');
  assert.ok(entry.reached && entry.step > 0, JSON.stringify(timeline));
  assert.deepStrictEqual(result.map((hint) => [hint.position.line, hint.label]),
    [[orbit, `${entry.seconds.toFixed(3)} s (step ${entry.step})`]]);
  console.log(`ok - label times: :orbit at ${result[0].label}, as kestrune --timeline says`);
}

// A client that says nothing of snippets and runs no command of ours (Neovim, Helix, Emacs): every
// item still names the word it replaces, and no code lens offers what it cannot run.
async function plainClient() {
  const server = startServer();
  const { connection } = server;
  await connection.sendRequest(proto.InitializeRequest.type, { processId: process.pid, rootUri: null, capabilities: {} });
  connection.sendNotification(proto.InitializedNotification.type, {});
  const plainUri = 'file://' + path.join(demo, 'assets', 'plain.script');
  const lines = ['delay %fl', 'object_tween_y sky, 0, 3, %', 'obj', ':here', 'delay 1', ':there', 'goto here', 'exit'];
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri: plainUri, languageId: 'kestrune', version: 1, text: lines.join('\n') + '\n' } });
  const atPlain = (line, character) => ({ textDocument: { uri: plainUri }, position: { line, character } });
  const rows = [
    ['a constant typed after "%" is replaced from the "%"', atPlain(0, 9), (result) => {
      const flag = result.items.find((item) => item.label === '%flag_0');
      assert.deepStrictEqual(flag.textEdit, { range: range(0, 6, 9), newText: '%flag_0' });
    }],
    ['a bare "%" is replaced, not written twice', atPlain(1, 27), (result) => {
      const back = result.items.find((item) => item.label === '%ease_in_back');
      assert.deepStrictEqual(back.textEdit, { range: range(1, 26, 27), newText: '%ease_in_back' });
    }],
    ['no snippet to a client that does not take them', atPlain(2, 3), (result) => {
      const tweenX = result.items.find((item) => item.label === 'object_tween_x');
      assert.deepStrictEqual(tweenX.textEdit, { range: range(2, 0, 3), newText: 'object_tween_x' });
      assert.ok(result.items.every((item) => item.insertTextFormat !== proto.InsertTextFormat.Snippet &&
                                             !/\$\{/.test(JSON.stringify(item))));
    }],
  ];
  for (const [name, params, check] of rows) {
    const result = await connection.sendRequest(proto.CompletionRequest.type, params);
    try {
      check(result);
    } catch (error) {
      console.error(`not ok - plain client: ${name}: ${JSON.stringify(result).slice(0, 600)}`);
      throw error;
    }
    console.log(`ok - plain client: ${name}`);
  }
  const clash = await connection.sendRequest(proto.RenameRequest.type, { ...atPlain(3, 2), newName: 'there' }).then(
    (result) => ({ result }), (error) => ({ error }));
  assert.ok(clash.error && clash.error.code === proto.LSPErrorCodes.RequestFailed &&
            /label "there" exists already/.test(clash.error.message), JSON.stringify(clash));
  console.log(`ok - plain client: rename refuses a label to another label: ${clash.error.message}`);
  const lenses = await connection.sendRequest(proto.CodeLensRequest.type, { textDocument: { uri: plainUri } });
  assert.deepStrictEqual(lenses, [], 'code lenses whose commands the client cannot run');
  console.log('ok - plain client: no code lens whose command it cannot run');
  await connection.sendRequest(proto.ShutdownRequest.type);
  connection.sendNotification(proto.ExitNotification.type);
  assert.strictEqual(await server.exited, 0);
}

// A virtual screen that resets when its last client leaves (xvfb-run without -noreset): the
// server's whole checks, which compile shaders, go on save after save, and a shader that does not
// compile is a diagnostic on its file.
async function resettingScreen() {
  const xvfbRun = spawnSync('sh', ['-c', 'command -v xvfb-run'], { encoding: 'utf8' }).stdout.trim();
  if (!xvfbRun)
    fail('lsp test: xvfb-run is missing: run bash tools/setup.sh');
  const child = spawn(xvfbRun, ['-a', '-s', '-screen 0 640x480x24', kestrune, '--lsp'], { stdio: ['pipe', 'pipe', 'pipe'], env: { ...process.env, ALSOFT_DRIVERS: 'null' } });
  let errors = '';
  child.stderr.on('data', (data) => { errors += data; });
  const connection = rpc.createMessageConnection(new rpc.StreamMessageReader(child.stdout),
                                                 new rpc.StreamMessageWriter(child.stdin));
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve(`exit ${code} ${signal || ''}`)));
  const fragment = path.join(demo, 'assets', 'shaders', 'pulse.frag');
  const fragmentUri = 'file://' + fragment;
  const good = fs.readFileSync(fragment, 'utf8');
  const broken = good.replace(/void main\(\)\s*\{/, 'void main() { this is not glsl;');
  assert.notStrictEqual(broken, good);
  let latest = null;
  let wake = null;
  connection.onNotification(proto.PublishDiagnosticsNotification.type, (params) => {
    if (params.uri === fragmentUri) {
      latest = params.diagnostics;
      if (wake)
        wake();
    }
  });
  connection.onRequest(proto.InlayHintRefreshRequest.type, () => null);
  connection.listen();
  const until = async (test, what) => {
    while (!(latest && test(latest))) {
      const outcome = await Promise.race([exited, new Promise((resolve) => { wake = resolve; })]);
      if (typeof outcome === 'string') {
        console.error(`not ok - resetting screen: the server ended (${outcome}) waiting for ${what}\n${errors}`);
        throw new Error('the server ended');
      }
    }
  };
  await connection.sendRequest(proto.InitializeRequest.type, { processId: process.pid, rootUri: null, capabilities: {} });
  connection.sendNotification(proto.InitializedNotification.type, {});
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri, languageId: 'kestrune', version: 1, text: scriptText } });
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri: fragmentUri, languageId: 'glsl', version: 1, text: good } });
  for (let round = 1; round <= 8; ++round) {
    fs.writeFileSync(fragment, broken);
    connection.sendNotification(proto.DidChangeTextDocumentNotification.type,
      { textDocument: { uri: fragmentUri, version: 2 * round }, contentChanges: [{ text: broken }] });
    connection.sendNotification(proto.DidSaveTextDocumentNotification.type, { textDocument: { uri: fragmentUri } });
    connection.sendNotification(proto.DidSaveTextDocumentNotification.type, { textDocument: { uri } });
    await until((list) => list.some((d) => d.severity === proto.DiagnosticSeverity.Error), `save ${round}'s compiler error`);
    fs.writeFileSync(fragment, good);
    connection.sendNotification(proto.DidChangeTextDocumentNotification.type,
      { textDocument: { uri: fragmentUri, version: 2 * round + 1 }, contentChanges: [{ text: good }] });
    connection.sendNotification(proto.DidSaveTextDocumentNotification.type, { textDocument: { uri: fragmentUri } });
    await until((list) => list.length === 0, `save ${round}'s fix`);
  }
  await connection.sendRequest(proto.ShutdownRequest.type);
  connection.sendNotification(proto.ExitNotification.type);
  assert.strictEqual(await exited, 'exit 0 ');
  console.log('ok - resetting screen: eight saves of a shader that does not compile and eight fixes, no abort');
}

// Label times of a script with 400 labels: one run of the demo, well within the server's budget.
async function manyLabels(server) {
  const { connection } = server;
  const many = tempDir('lsp-many');
  fs.cpSync(path.join(ROOT, 'tests', 'e2e', 'base'), many, { recursive: true });
  const lines = [];
  for (let i = 0; i < 400; ++i)
    lines.push(`:l${i}`, 'delay 0.05');
  lines.push('exit', ':init', 'create_buffer main', 'exit', ':render', 'clear_buffer main', 'display_buffer main',
             'render_scene main', 'exit');
  const manyPath = path.join(many, 'assets', 'demo.script');
  fs.writeFileSync(manyPath, lines.join('\n') + '\n');
  const manyUri = 'file://' + manyPath;
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri: manyUri, languageId: 'kestrune', version: 1, text: lines.join('\n') + '\n' } });
  connection.sendNotification(proto.DidSaveTextDocumentNotification.type, { textDocument: { uri: manyUri } });
  const hints = async () => connection.sendRequest(proto.InlayHintRequest.type,
    { textDocument: { uri: manyUri }, range: { start: { line: 0, character: 0 }, end: { line: 1000, character: 0 } } });
  let result = await hints();
  while (result.length === 0 || /being worked out|not worked out/.test(result[0].label)) {
    await new Promise((resolve) => setImmediate(resolve));
    result = await hints();
  }
  if (/no display/.test(result[0].label)) {
    console.log('ok - 400 labels: no display, and the hints say the times are unknown');
    return;
  }
  assert.strictEqual(result.length, 400, JSON.stringify(result.slice(0, 3)));
  // The first step runs to the first wait; each wait of 0.05 s is four steps.
  const last = result.find((hint) => hint.position.line === 798);
  assert.deepStrictEqual(last, { position: { line: 798, character: 5 }, label: '26.617 s (step 1597)', paddingLeft: true });
  console.log(`ok - 400 labels: every hint worked out, :l399 at ${last.label}`);
}

async function main() {
  // Further arguments pick parts to run alone: table, labelTimes, manyLabels, plainClient, resettingScreen.
  const picked = process.argv.slice(3);
  const runs = (name) => picked.length === 0 || picked.includes(name);
  const server = startServer();
  await recordedEdit(server);
  if (runs('table'))
    await table(server);
  if (runs('labelTimes'))
    await labelTimes(server);
  if (runs('manyLabels'))
    await manyLabels(server);
  if (runs('plainClient'))
    await plainClient();
  if (runs('resettingScreen'))
    await resettingScreen();
  await server.connection.sendRequest(proto.ShutdownRequest.type);
  server.connection.sendNotification(proto.ExitNotification.type);
  assert.strictEqual(await server.exited, 0);
  console.log('ok - shutdown, then exit with status 0');
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
