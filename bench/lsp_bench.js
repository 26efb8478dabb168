'use strict';
// Diagnostics and completion times of `kestrune --lsp` over the protocol, on the bundled demo with
// its main flow grown to 5,000 lines: the time from a one-character change to the script's
// diagnostics, and of a completion request, median and worst of 50 each.
//
// usage: node bench/lsp_bench.js <kestrune>
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');
const modules = path.resolve(__dirname, '..', 'editors', 'vscode', 'node_modules');
const rpc = require(path.join(modules, 'vscode-jsonrpc', 'node'));
const proto = require(path.join(modules, 'vscode-languageserver-protocol'));

const root = path.resolve(__dirname, '..');
const demo = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrune-lsp-bench-'));
process.on('exit', () => fs.rmSync(demo, { recursive: true, force: true }));
fs.cpSync(path.join(root, 'assets'), path.join(demo, 'assets'), { recursive: true });
fs.copyFileSync(path.join(root, 'config.json'), path.join(demo, 'config.json'));
const original = fs.readFileSync(path.join(root, 'assets', 'demo.script'), 'utf8');
const filler = [];
while (filler.length + original.split('\n').length < 5000)
  filler.push(`object_tween_x planet, ${filler.length % 1900}, 0.5, %ease_in_out_sine`, 'delay 0.1');
const text = filler.join('\n') + '\n' + original;
const uri = 'file://' + path.join(demo, 'assets', 'demo.script');

const child = spawn(path.resolve(process.argv[2]), ['--lsp'], { stdio: ['pipe', 'pipe', 'ignore'] });
const connection = rpc.createMessageConnection(new rpc.StreamMessageReader(child.stdout), new rpc.StreamMessageWriter(child.stdin));
let waiting = null;
connection.onNotification(proto.PublishDiagnosticsNotification.type, (params) => {
  if (params.uri === uri && waiting)
    waiting(params.diagnostics);
});
connection.listen();
const diagnostics = () => new Promise((resolve) => { waiting = resolve; });
const figures = (times) => {
  const sorted = times.slice().sort((a, b) => a - b);
  return `median ${sorted[sorted.length >> 1].toFixed(2)} ms, worst ${sorted[sorted.length - 1].toFixed(2)} ms`;
};

async function main() {
  await connection.sendRequest(proto.InitializeRequest.type, { processId: process.pid, rootUri: null, capabilities: {} });
  let seen = diagnostics();
  connection.sendNotification(proto.DidOpenTextDocumentNotification.type,
    { textDocument: { uri, languageId: 'kestrune', version: 1, text } });
  await seen;
  const changeTimes = [];
  for (let i = 0; i < 50; ++i) {
    // Alternately a mistake and its fix, so that every change gives a new list.
    const start = process.hrtime.bigint();
    seen = diagnostics();
    connection.sendNotification(proto.DidChangeTextDocumentNotification.type, {
      textDocument: { uri, version: i + 2 },
      contentChanges: [{ range: { start: { line: 0, character: 21 }, end: { line: 0, character: i % 2 ? 22 : 21 } },
                         text: i % 2 ? '' : 'x' }] });
    await seen;
    changeTimes.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  const completionTimes = [];
  for (let i = 0; i < 50; ++i) {
    const start = process.hrtime.bigint();
    await connection.sendRequest(proto.CompletionRequest.type, { textDocument: { uri }, position: { line: 2500, character: 15 } });
    completionTimes.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  console.log(`lsp: ${text.split('\n').length}-line script, diagnostics after a change: ${figures(changeTimes)} (goal: median <= 50 ms)`);
  console.log(`lsp: completion of an object name: ${figures(completionTimes)}`);
  await connection.sendRequest(proto.ShutdownRequest.type);
  connection.sendNotification(proto.ExitNotification.type);
}
main().catch((error) => { console.error(error); process.exit(1); });
