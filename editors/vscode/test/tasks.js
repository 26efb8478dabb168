#!/usr/bin/env node
// The tasks and problem matchers against the real checker: the check task, run as the editor would
// run it on a small broken demo, gives problems that point at the right file, line and column; every
// task takes the demo as the nearest folder above the open file that holds assets/ or config.json;
// and the play-from-a-label task finds the label at or above the cursor.  usage: tasks.js KESTRUNE
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');
const { EXTENSION, ROOT, fail, tempDir } = require('./common');

const kestrune = process.argv[2];
if (!kestrune)
  fail('usage: tasks.js KESTRUNE');

const manifest = JSON.parse(fs.readFileSync(path.join(EXTENSION, 'package.json'), 'utf8'));
const tasks = JSON.parse(fs.readFileSync(path.join(EXTENSION, 'tasks.json'), 'utf8'));
const workspace = JSON.parse(fs.readFileSync(path.join(ROOT, 'examples', 'kestrune-examples.code-workspace'), 'utf8'));

function task(label) {
  const found = tasks.tasks.find((entry) => entry.label === label);
  assert(found, `tasks.json has no task "${label}"`);
  return found;
}

// The editor's variable substitution; a variable it does not define fails the test.
function substitute(value, variables) {
  if (Array.isArray(value))
    return value.map((item) => substitute(item, variables));
  if (value && typeof value === 'object')
    return Object.fromEntries(Object.entries(value).map(([key, item]) => [key, substitute(item, variables)]));
  if (typeof value !== 'string')
    return value;
  return value.replace(/\$\{([^}]+)\}/g, (_, name) => {
    assert(name in variables, `unknown variable \${${name}} in tasks.json`);
    return variables[name];
  });
}

// A problem matcher as the editor applies it: the contributed pattern with the task's file location.
function matchers(checkTask) {
  return checkTask.problemMatcher.map((use) => {
    const base = manifest.contributes.problemMatchers.find((matcher) => `$${matcher.name}` === use.base);
    assert(base, `no problem matcher ${use.base} in package.json`);
    const pattern = manifest.contributes.problemPatterns.find((entry) => `$${entry.name}` === base.pattern);
    assert(pattern, `no problem pattern ${base.pattern} in package.json`);
    const location = use.fileLocation || base.fileLocation;
    const [kind, folder] = Array.isArray(location) ? location : [location];
    assert(kind === 'absolute' || kind === 'relative', `file location ${kind}`);
    return { pattern, regexp: new RegExp(pattern.regexp), folder: kind === 'relative' ? folder : null };
  });
}

function readProblem(line, matcher) {
  const found = matcher.regexp.exec(line);
  if (!found)
    return null;
  const { pattern } = matcher;
  const group = (index) => (index === undefined ? undefined : found[index]);
  const number = (index) => (group(index) === undefined ? undefined : Number(group(index)));
  return {
    file: matcher.folder === null ? group(pattern.file) : path.join(matcher.folder, group(pattern.file)),
    line: number(pattern.line),
    column: number(pattern.column),
    severity: group(pattern.severity),
    message: group(pattern.message),
    wholeFile: pattern.kind === 'file',
  };
}

// A task's command as the editor runs it: through the shell its options name.
function runTask(entry) {
  const shell = entry.options.shell;
  return spawnSync(shell.executable, [...shell.args, entry.command], { encoding: 'utf8' });
}

function writeBrokenDemo(demo) {
  fs.mkdirSync(path.join(demo, 'assets'), { recursive: true });
  fs.writeFileSync(path.join(demo, 'assets', 'demo.script'), [
    '; broken on purpose, and no "render" section',
    'delay 1.5s',
    'object_tween_y hero, 0, 3, %ease_out_expon',
    'if_less %flag_0, 3',
    ':init',
    'create_object hero, nosuch',
    'exit',
    '',
  ].join('\n'));
  fs.writeFileSync(path.join(demo, 'assets', 'textures.json'),
                   '{\n  "textures": {\n    "sky": { "file": "sky.png", }\n  }\n}\n');
}

function checkTheCheckTask() {
  const demo = path.join(tempDir('tasks'), 'broken');
  writeBrokenDemo(demo);
  const script = path.join(demo, 'assets', 'demo.script');
  const checkTask = substitute(task('Kestrune: check'), {
    file: script, fileDirname: path.dirname(script), lineNumber: '1', 'config:kestrune.executable': kestrune,
  });
  const run = runTask(checkTask);
  assert.strictEqual(run.status, 1, `the check should fail on the broken demo: ${run.stderr}${run.stdout}`);
  const lines = run.stdout.trimEnd().split('\n');
  const summary = /^(\d+) errors, (\d+) warnings$/.exec(lines.pop());
  assert(summary, `no summary line at the end of: ${run.stdout}`);

  const readers = matchers(checkTask);
  const problems = lines.map((line) => {
    const read = readers.map((matcher) => readProblem(line, matcher)).filter(Boolean);
    assert.strictEqual(read.length, 1, `${read.length} problem matchers read the checker's line: ${line}`);
    return read[0];
  });
  const count = (severity) => problems.filter((problem) => problem.severity === severity).length;
  assert.deepStrictEqual([count('error'), count('warning')], [Number(summary[1]), Number(summary[2])],
                         'the problems found do not add up to the checker\'s summary');
  for (const problem of problems.filter((entry) => !entry.wholeFile))
    assert(fs.existsSync(problem.file), `a problem points at a file that does not exist: ${problem.file}`);

  const expected = [
    { file: 'assets/textures.json', line: 3, column: 33, severity: 'error', text: 'JSON syntax error' },
    { file: 'assets/demo.script', line: 2, severity: 'warning', text: '"1.5s"' },
    { file: 'assets/demo.script', line: 3, severity: 'error', text: '%ease_out_expon' },
    { file: 'assets/demo.script', line: 4, severity: 'error', text: 'endif' },
    { file: 'assets/demo.script', line: 5, severity: 'warning', text: 'runs into the "init" section' },
    { file: 'config.json', severity: 'warning', text: 'no such file' },
    { file: 'assets/demo.script', severity: 'error', text: '"render"' },
  ];
  for (const want of expected) {
    const found = problems.find((problem) => problem.file === path.join(demo, want.file) &&
                                problem.line === want.line && problem.column === want.column &&
                                problem.severity === want.severity && problem.message.includes(want.text));
    assert(found, `no problem ${JSON.stringify(want)} among ${JSON.stringify(problems, null, 1)}`);
  }

  // A file outside any demo: the checker's own one line, and its exit status.
  const loose = path.join(path.dirname(demo), 'loose', 'notes.script');
  fs.mkdirSync(path.dirname(loose));
  fs.writeFileSync(loose, 'log hello\n');
  const outside = runTask(substitute(task('Kestrune: check'), {
    file: loose, fileDirname: path.dirname(loose), lineNumber: '1', 'config:kestrune.executable': kestrune,
  }));
  assert.strictEqual(outside.status, 2, `check outside a demo: ${outside.stdout}${outside.stderr}`);
  assert.strictEqual(outside.stderr, `kestrune: ${path.dirname(loose)} is not a demo folder (it holds neither ` +
                     'assets/ nor config.json); give the demo\'s folder: kestrune DIR\n');
  return problems.length;
}

// Every task takes the nearest folder above the open file that holds assets/ or config.json (or, in
// none, the file's own folder, which the player then calls no demo); a stand-in prints the arguments.
function checkTheDemoFolder() {
  const root = tempDir('demo');
  const standIn = path.join(root, 'kestrune-stand-in');
  fs.writeFileSync(standIn, '#!/bin/sh\nprintf "%s\\n" "$@"\n', { mode: 0o755 });
  const files = {
    'full/config.json': '{}', 'full/assets/demo.script': '', 'full/assets/shaders/deep/wave.frag': '',
    'bare/config.json': '{}', 'bare/notes/todo.txt': '', 'nested/assets/more/assets/x.script': '',
    'loose/a.script': '',
  };
  for (const [name, text] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(root, name)), { recursive: true });
    fs.writeFileSync(path.join(root, name), text);
  }
  const rows = [
    ['full/assets/demo.script', 'full'], ['full/assets/shaders/deep/wave.frag', 'full'],
    ['full/config.json', 'full'], ['bare/notes/todo.txt', 'bare'],
    ['nested/assets/more/assets/x.script', 'nested/assets/more'], ['loose/a.script', 'loose'],
  ];
  const argumentsOf = {
    'Kestrune: check': (demo) => ['--check', demo],
    'Kestrune: play': (demo) => [demo],
    'Kestrune: play in author mode': (demo) => ['--author', demo],
    'Kestrune: render to a video': (demo) => ['--render', `${demo}/out.mp4`, demo],
  };
  for (const [file, folder] of rows) {
    for (const [label, expected] of Object.entries(argumentsOf)) {
      const script = path.join(root, file);
      const run = runTask(substitute(task(label), {
        file: script, fileDirname: path.dirname(script), lineNumber: '1', 'config:kestrune.executable': standIn,
      }));
      assert.strictEqual(run.status, 0, `${label} on ${file}: ${run.stderr}`);
      assert.deepStrictEqual(run.stdout.trimEnd().split('\n'), expected(path.join(root, folder)), `${label} on ${file}`);
    }
  }
  return rows.length * Object.keys(argumentsOf).length;
}

// The label task runs a stand-in for kestrune that prints its arguments.
function checkTheLabelTask() {
  const folder = tempDir('label');
  const script = path.join(folder, 'assets', 'demo.script');
  fs.mkdirSync(path.dirname(script));
  fs.writeFileSync(script, 'log start\n:intro\r\ndelay 1\n\t:  spaced:rest \n; :not_a_label\ndelay 2\n');
  const standIn = path.join(folder, 'kestrune-stand-in');
  fs.writeFileSync(standIn, '#!/bin/sh\nprintf "%s\\n" "$@"\n', { mode: 0o755 });
  const cases = [[1, null], [2, 'intro'], [3, 'intro'], [4, '  spaced'], [6, '  spaced']];
  for (const [lineNumber, label] of cases) {
    const labelTask = substitute(task('Kestrune: play from the label at the cursor'), {
      file: script, fileDirname: path.dirname(script), lineNumber: String(lineNumber),
      'config:kestrune.executable': standIn,
    });
    const run = runTask(labelTask);
    if (label === null) {
      assert.strictEqual(run.status, 2, `line ${lineNumber}: no label above, yet: ${run.stdout}`);
      assert.match(run.stdout, /no label on line 1 or above it/);
    } else {
      assert.strictEqual(run.status, 0, `line ${lineNumber}: ${run.stderr}`);
      assert.deepStrictEqual(run.stdout.split('\n').slice(0, 3), ['--start', label, folder],
                             `line ${lineNumber}`);
    }
  }
  return cases.length;
}

try {
  assert.deepStrictEqual(workspace.tasks, tasks, 'examples/kestrune-examples.code-workspace holds other tasks than tasks.json');
  for (const entry of tasks.tasks)
    substitute(entry, { file: '', fileDirname: '', lineNumber: '', 'config:kestrune.executable': '' });
  const problems = checkTheCheckTask();
  const demos = checkTheDemoFolder();
  const cases = checkTheLabelTask();
  console.log(`tasks: ${problems} checker lines read by the problem matchers, ${demos} task runs found their ` +
              `demo, ${cases} cursor positions found their label`);
} catch (error) {
  fail(`tasks: ${error.message}`);
}
