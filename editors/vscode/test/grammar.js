#!/usr/bin/env node
// Scope assertions of the grammar: every *.test.script beside this file states, under each line,
// the scopes its words must have and must not have.
'use strict';
const path = require('path');
const { requirePackages, runGrammarTool } = require('./common');

requirePackages();
process.exit(runGrammarTool('unit', [path.join(__dirname, '*.test.script')]) === 0 ? 0 : 1);
