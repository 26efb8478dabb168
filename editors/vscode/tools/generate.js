#!/usr/bin/env node
// Writes the extension's grammar and snippets from the player's own command tables, as printed by
// `kestrune --list-commands --json`, so the editor keeps no list of commands or constants itself.
//
//   node tools/generate.js KESTRUNE [OUT_DIR]          run the player for its tables
//   node tools/generate.js --tables FILE [OUT_DIR]     read a saved copy of that output
//
// OUT_DIR defaults to the extension folder; the files land in OUT_DIR/syntaxes and OUT_DIR/snippets.
'use strict';

const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const GRAMMAR_FILE = path.join('syntaxes', 'kestrune.tmLanguage.json');
const SNIPPETS_FILE = path.join('snippets', 'kestrune.json');
const SECTIONS = { 'built-in': 'builtin', scene: 'scene' };
const COMMAND_SCOPES = { 'built-in': 'keyword.control.builtin.kestrune', scene: 'support.function.scene.kestrune' };
const LABEL_SCOPE = 'entity.name.function.label.kestrune';
const VARIABLE_SCOPE = 'variable.other.alias.kestrune';
// Parameters of these kinds are names the script defines, coloured like their definitions.
const KIND_SCOPES = { label: LABEL_SCOPE, variable: VARIABLE_SCOPE, new_variable: VARIABLE_SCOPE };
// Parameters of these kinds offer the easing constants in their snippets.
const EASING_KINDS = new Set(['easing', 'yoyo_easing']);
// The white space that the script loader trims from both ends of a line.
const WS = '[ \\t\\v\\f\\r]';
// A command word ends at the first space or comma, or at the end of the trimmed line.
const WORD_END = `(?=[ ,]|${WS}*$)`;

function fail(message) {
  console.error(`generate: ${message}`);
  process.exit(1);
}

function readTables(args) {
  if (args[0] === '--tables') {
    if (!args[1])
      fail('--tables needs a file');
    return { text: fs.readFileSync(args[1], 'utf8'), rest: args.slice(2) };
  }
  if (!args[0])
    fail('usage: generate.js KESTRUNE [OUT_DIR] | generate.js --tables FILE [OUT_DIR]');
  let text;
  try {
    text = execFileSync(args[0], ['--list-commands', '--json'], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (error) {
    const said = (error.stderr || error.message || '').toString().trim().split('\n')[0];
    fail(`${args[0]} --list-commands --json failed: ${said}`);
  }
  return { text, rest: args.slice(1) };
}

function isText(value) {
  return typeof value === 'string' && value.length > 0;
}

// Every later step trusts these shapes, so a table that drifts fails here with one line.
function validate(tables) {
  if (!tables || !Array.isArray(tables.commands) || !Array.isArray(tables.constants) || !Array.isArray(tables.easings))
    fail('the tables need the arrays "commands", "constants" and "easings"');
  for (const command of tables.commands) {
    if (!isText(command.name) || !(command.section in SECTIONS) || !Array.isArray(command.params) ||
        (command.description !== undefined && typeof command.description !== 'string'))
      fail(`malformed command ${JSON.stringify(command)}`);
    for (const param of command.params)
      if (!isText(param.name) || !isText(param.kind))
        fail(`malformed parameter of "${command.name}": ${JSON.stringify(param)}`);
  }
  for (const constant of tables.constants)
    if (!isText(constant.name) || !constant.name.startsWith('%') || !(constant.section in SECTIONS))
      fail(`malformed constant ${JSON.stringify(constant)}`);
  for (const easing of tables.easings)
    if (!Number.isInteger(easing.number) || !isText(easing.name))
      fail(`malformed easing ${JSON.stringify(easing)}`);
}

function escapeRegex(text) {
  return text.replace(/[.*+?^${}()|[\]\\\/-]/g, '\\$&');
}

function alternation(names) {
  return names.map(escapeRegex).join('|');
}

// Rows whose name starts with "_" are the loader's own (the label line), never written by authors.
function authorCommands(tables) {
  return tables.commands.filter((command) => !command.name.startsWith('_'));
}

// The parameter positions that get a scope of their own, as a key shared by commands alike.
function scopedPositions(command) {
  const positions = [];
  command.params.forEach((param, index) => {
    if (KIND_SCOPES[param.kind])
      positions.push([index, KIND_SCOPES[param.kind]]);
  });
  return positions;
}

function commandRegion(section, names, begin, beginCaptures) {
  return {
    name: `meta.command.${SECTIONS[section]}.kestrune`,
    begin,
    beginCaptures,
    end: '$',
    patterns: [{ include: '#parameters' }],
  };
}

// Commands that name a label or a variable: the leading parameters up to the last such name are
// matched at once (unquoted ones only; a quoted line falls through to the plain rule).
function positionalRule(section, names, positions) {
  const captures = { 1: { name: COMMAND_SCOPES[section] } };
  const last = positions[positions.length - 1][0];
  let regex = `^${WS}*(${alternation(names)})[ ,]`;
  let group = 2;
  for (let index = 0; index <= last; ++index) {
    if (index > 0) {
      regex += '(,)';
      captures[group++] = { name: 'punctuation.separator.parameter.kestrune' };
    }
    const scoped = positions.find(([position]) => position === index);
    regex += scoped ? `${WS}*([^,"]*?)` : `${WS}*([^,"]*)`;
    captures[group++] = scoped ? { name: scoped[1] } : { patterns: [{ include: '#parameters' }] };
  }
  return commandRegion(section, names, `${regex}(?=${WS}*(?:,|$))`, captures);
}

function commandRules(commands) {
  const rules = [];
  for (const section of Object.keys(SECTIONS)) {
    const inSection = commands.filter((command) => command.section === section);
    const groups = new Map();
    for (const command of inSection) {
      const positions = scopedPositions(command);
      if (positions.length === 0)
        continue;
      const key = JSON.stringify(positions);
      if (!groups.has(key))
        groups.set(key, { positions, names: [] });
      groups.get(key).names.push(command.name);
    }
    for (const { positions, names } of groups.values())
      rules.push(positionalRule(section, names, positions));
  }
  // Built-ins first: the interpreter handles them before the scene sees a command.
  for (const section of Object.keys(SECTIONS)) {
    const names = commands.filter((command) => command.section === section).map((command) => command.name);
    if (names.length > 0)
      rules.push(commandRegion(section, names, `^${WS}*(${alternation(names)})${WORD_END}`,
                               { 1: { name: COMMAND_SCOPES[section] } }));
  }
  rules.push({
    name: 'meta.command.unknown.kestrune',
    begin: `^${WS}*(?=[^ ,\\s])`,
    end: '$',
    patterns: [{ include: '#unknown-word' }, { include: '#parameters' }],
  });
  return rules;
}

// Constants are matched anywhere in a parameter and in any letter case, as the player substitutes
// them; the longest name first, so that a name that extends another is taken whole.
function constantRule(constants) {
  const sorted = [...constants].sort((a, b) => b.name.length - a.name.length || (a.name < b.name ? -1 : 1));
  const captures = {};
  sorted.forEach((constant, index) => {
    captures[index + 1] = { name: `constant.language.${SECTIONS[constant.section]}.kestrune` };
  });
  return { match: `(?i)${sorted.map((constant) => `(${escapeRegex(constant.name)})`).join('|')}`, captures };
}

function grammar(tables) {
  return {
    information_for_contributors: [
      'Generated by tools/generate.js from `kestrune --list-commands --json`; do not edit by hand.',
    ],
    name: 'Kestrune script',
    scopeName: 'source.kestrune',
    fileTypes: ['script'],
    patterns: [{ include: '#comment' }, { include: '#label' }, { include: '#command' }],
    repository: {
      comment: {
        name: 'comment.line.semicolon.kestrune',
        match: `^${WS}*(;).*$`,
        captures: { 1: { name: 'punctuation.definition.comment.kestrune' } },
      },
      // The name ends at the next colon; whatever follows it is ignored by the loader.
      label: {
        name: 'meta.label.kestrune',
        match: `^${WS}*(:)([^:]*?)(:.*?)?${WS}*$`,
        captures: {
          1: { name: 'punctuation.definition.label.kestrune' },
          2: { name: LABEL_SCOPE },
          3: { name: 'comment.line.ignored.kestrune' },
        },
      },
      command: { patterns: commandRules(authorCommands(tables)) },
      'unknown-word': { match: '\\G[^ ,]+' },
      parameters: {
        patterns: [
          { include: '#string' },
          { include: '#constant' },
          { include: '#variable' },
          { include: '#number' },
          { name: 'punctuation.separator.parameter.kestrune', match: ',' },
        ],
      },
      // Quotes are dropped and keep commas inside one parameter; an unclosed one runs to the end.
      string: {
        name: 'string.quoted.double.kestrune',
        begin: '"',
        beginCaptures: { 0: { name: 'punctuation.definition.string.begin.kestrune' } },
        end: '"|$',
        endCaptures: { 0: { name: 'punctuation.definition.string.end.kestrune' } },
        patterns: [{ include: '#constant' }, { include: '#variable' }],
      },
      constant: constantRule(tables.constants),
      variable: { name: VARIABLE_SCOPE, match: '\\$\\w+' },
      number: {
        name: 'constant.numeric.kestrune',
        match: '(?<![\\w.$%])[-+]?(?:\\d+(?:\\.\\d*)?|\\.\\d+)(?:[eE][-+]?\\d+)?(?![\\w.])',
      },
    },
  };
}

function escapePlaceholder(text) {
  return text.replace(/[$}\\]/g, '\\$&');
}

function escapeChoice(text) {
  return text.replace(/[$,|\\]/g, '\\$&');
}

// An easing parameter offers the named curves, its default first.
function easingChoices(tables, fallback) {
  const named = tables.easings.filter((easing) => isText(easing.constant)).map((easing) => easing.constant);
  const fallbackEasing = tables.easings.find((easing) => String(easing.number) === String(fallback));
  const first = fallbackEasing && fallbackEasing.constant ? fallbackEasing.constant : fallback;
  const rest = named.filter((name) => name !== first);
  return first !== undefined && first !== '' ? [first, ...rest] : named;
}

function placeholder(tables, param, index) {
  if (EASING_KINDS.has(param.kind)) {
    const choices = easingChoices(tables, param.default);
    if (choices.length > 0)
      return `\${${index}|${choices.map(escapeChoice).join(',')}|}`;
  }
  const text = param.optional && isText(param.default) ? param.default : param.name;
  return `\${${index}:${escapePlaceholder(text)}}`;
}

function body(tables, command, params) {
  if (params.length === 0)
    return command.name;
  return `${command.name} ${params.map((param, i) => placeholder(tables, param, i + 1)).join(', ')}`;
}

function describeParam(param) {
  const kind = param.kind === param.name ? '' : ` (${param.kind.replace(/_/g, ' ')})`;
  const fallback = param.optional && isText(param.default) ? ` = ${param.default}` : '';
  return `${param.name}${kind}${fallback}`;
}

// The command's one line from the player's table, then its section and parameters.
function description(command) {
  const shape = parameters(command);
  return command.description ? `${command.description} (${shape})` : shape;
}

function parameters(command) {
  const required = command.params.filter((param) => !param.optional).map(describeParam);
  const optional = command.params.filter((param) => param.optional).map(describeParam);
  let text = `${command.section} command`;
  if (required.length > 0 || optional.length > 0)
    text += `: ${required.join(', ')}`;
  if (optional.length > 0)
    text += `${required.length > 0 ? ' ' : ''}[${required.length > 0 ? ', ' : ''}${optional.join(', ')}]`;
  return text;
}

function snippets(tables) {
  const result = {};
  for (const command of authorCommands(tables)) {
    const required = command.params.filter((param) => !param.optional);
    result[command.name] = { prefix: command.name, body: body(tables, command, required), description: description(command) };
    if (required.length < command.params.length)
      result[`${command.name}, all parameters`] = {
        prefix: command.name,
        body: body(tables, command, command.params),
        description: `${description(command)}, with every optional parameter`,
      };
  }
  return result;
}

function write(outDir, file, value) {
  const target = path.join(outDir, file);
  fs.mkdirSync(path.dirname(target), { recursive: true });
  fs.writeFileSync(target, `${JSON.stringify(value, null, 2)}\n`);
  console.log(`generate: wrote ${target}`);
}

function main() {
  const { text, rest } = readTables(process.argv.slice(2));
  let tables;
  try {
    tables = JSON.parse(text);
  } catch (error) {
    fail(`the tables are not JSON: ${error.message}`);
  }
  validate(tables);
  const outDir = rest[0] || path.join(__dirname, '..');
  write(outDir, GRAMMAR_FILE, grammar(tables));
  write(outDir, SNIPPETS_FILE, snippets(tables));
}

if (require.main === module)
  main();

module.exports = { GRAMMAR_FILE, SNIPPETS_FILE };
