#!/usr/bin/env node
// A stand-in for `kestrune --author DEMO`'s control channel: it announces a socket in the demo's
// folder as the player does, writes every request line to DEMO/requests.log and answers it with
// a state of its own (a seek to line N lands at step 10 N; a line past 900 is refused). Used
// in-process by test/player.js, or started as the player by the extension.
'use strict';
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

function state(step, line, paused) {
  return { step, time: step / 60, paused, speed: 1, label: 'orbit', file: 'assets/demo.script', line, ended: false };
}

function answer(request, player) {
  if (request.seek && request.seek.line > 900)
    return { error: `assets/demo.script has no command at or after line ${request.seek.line}` };
  if (request.seek && request.seek.line)
    player.state = state(request.seek.line * 10, request.seek.line, player.state.paused);
  if (request.seek && request.seek.label)
    player.state = state(523, 57, player.state.paused);
  return { ok: player.state };
}

// Listens for `demo`; resolves to { clients, state, events(message), close() }.
function listen(demo) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrune-stand-in-'));
  const socketPath = path.join(folder, 'author.sock');
  const player = { clients: [], state: state(0, 6, false) };
  const server = net.createServer((client) => {
    player.clients.push(client);
    client.on('close', () => player.clients.splice(player.clients.indexOf(client), 1));
    client.on('error', () => {});
    let buffer = '';
    client.setEncoding('utf8');
    client.on('data', (data) => {
      buffer += data;
      let end;
      while ((end = buffer.indexOf('\n')) >= 0) {
        const line = buffer.slice(0, end);
        buffer = buffer.slice(end + 1);
        fs.appendFileSync(path.join(demo, 'requests.log'), `${line}\n`);
        client.write(`${JSON.stringify(answer(JSON.parse(line), player))}\n`);
      }
    });
  });
  player.event = (message) => player.clients.forEach((client) => client.write(`${JSON.stringify(message)}\n`));
  player.close = () => new Promise((done) => {
    player.clients.forEach((client) => client.destroy());
    server.close(() => {
      fs.rmSync(folder, { recursive: true, force: true });
      fs.rmSync(path.join(demo, '.kestrune-author'), { force: true });
      done();
    });
  });
  return new Promise((resolve) => server.listen(socketPath, () => {
    fs.writeFileSync(path.join(demo, '.kestrune-author'), JSON.stringify({ socket: socketPath, pid: process.pid }));
    resolve(player);
  }));
}

if (require.main === module) {
  // As the extension starts the player: --author DEMO. It ends itself after a minute.
  const demo = process.argv[process.argv.indexOf('--author') + 1];
  listen(demo).then((player) => setTimeout(() => player.close().then(() => process.exit(0)), 60000).unref());
  setTimeout(() => process.exit(0), 61000);
}

module.exports = { listen };
