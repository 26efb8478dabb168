#!/usr/bin/env node
// Colours a script with the extension's grammar through the editor's own TextMate engine
// (vscode-textmate, vscode-oniguruma) and a real editor theme, and writes it as an HTML page that
// looks like an editor tab: the picture in the README is made from it by tools/picture.sh.
//   node tools/highlight.js SCRIPT [THEME] > page.html     THEME: a theme name of tm-themes (dark-plus)
'use strict';
const fs = require('fs');
const path = require('path');

const EXTENSION = path.resolve(__dirname, '..');
const modules = path.join(EXTENSION, 'node_modules');
const textmate = require(path.join(modules, 'vscode-textmate'));
const oniguruma = require(path.join(modules, 'vscode-oniguruma'));

// Token metadata as the engine packs it: font style in bits 11-14, foreground index in 15-23.
const FONT_STYLE = (metadata) => (metadata >>> 11) & 0xf;
const FOREGROUND = (metadata) => (metadata >>> 15) & 0x1ff;

function escapeHtml(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

function loadTheme(name) {
  const theme = JSON.parse(fs.readFileSync(path.join(modules, 'tm-themes', 'themes', `${name}.json`), 'utf8'));
  const colors = theme.colors || {};
  return {
    colors,
    raw: {
      name: theme.name,
      settings: [
        { settings: { foreground: colors['editor.foreground'], background: colors['editor.background'] } },
        ...(theme.tokenColors || []),
      ],
    },
  };
}

async function registry(theme) {
  const wasm = fs.readFileSync(path.join(modules, 'vscode-oniguruma', 'release', 'onig.wasm')).buffer;
  await oniguruma.loadWASM(wasm);
  const grammarFile = path.join(EXTENSION, 'syntaxes', 'kestrune.tmLanguage.json');
  const result = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async (scopeName) => (scopeName === 'source.kestrune'
      ? textmate.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile)
      : null),
  });
  result.setTheme(theme.raw);
  return result;
}

function styleOf(colorMap, metadata) {
  const style = [`color:${colorMap[FOREGROUND(metadata)]}`];
  const font = FONT_STYLE(metadata);
  if (font & 1)
    style.push('font-style:italic');
  if (font & 2)
    style.push('font-weight:bold');
  if (font & 4)
    style.push('text-decoration:underline');
  return style.join(';');
}

async function main() {
  const [script, themeName = 'dark-plus'] = process.argv.slice(2);
  if (!script) {
    console.error('usage: highlight.js SCRIPT [THEME]');
    process.exit(2);
  }
  const theme = loadTheme(themeName);
  const engine = await registry(theme);
  const grammar = await engine.loadGrammar('source.kestrune');
  const colorMap = engine.getColorMap();
  const lines = fs.readFileSync(script, 'utf8').replace(/\n$/, '').split('\n');
  let state = textmate.INITIAL;
  const rows = lines.map((line, index) => {
    const result = grammar.tokenizeLine2(line, state);
    state = result.ruleStack;
    let html = '';
    for (let i = 0; i < result.tokens.length; i += 2) {
      const start = result.tokens[i];
      const end = i + 2 < result.tokens.length ? result.tokens[i + 2] : line.length;
      html += `<span style="${styleOf(colorMap, result.tokens[i + 1])}">${escapeHtml(line.slice(start, end))}</span>`;
    }
    return `<div class="row"><span class="number">${index + 1}</span><span class="code">${html}</span></div>`;
  });
  const colors = theme.colors;
  process.stdout.write(`<!DOCTYPE html>
<html><head><meta charset="utf-8"><style>
body { margin: 0; background: ${colors['editor.background']}; font: 15px/22px "DejaVu Sans Mono", monospace; }
.tab { background: ${colors['tab.inactiveBackground'] || '#2d2d2d'}; height: 35px; font: 13px/35px "DejaVu Sans", sans-serif; }
.tab span { display: inline-block; padding: 0 16px; color: ${colors['tab.activeForeground'] || '#ffffff'};
            background: ${colors['tab.activeBackground'] || colors['editor.background']}; }
.lines { padding: 8px 0; }
.row { white-space: pre; }
.number { display: inline-block; width: 48px; padding-right: 20px; text-align: right;
          color: ${colors['editorLineNumber.foreground'] || '#858585'}; }
</style></head><body>
<div class="tab"><span>${escapeHtml(path.basename(script))}</span></div>
<div class="lines">
${rows.join('\n')}
</div>
</body></html>
`);
}

main().catch((error) => {
  console.error(`highlight: ${error.message}`);
  process.exit(1);
});
