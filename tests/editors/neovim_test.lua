-- Run by neovim_test.py inside `nvim --headless` with the README's configuration, on a copy of the
-- bundled demo's script: the server must attach, and Neovim's own omni completion, hover and go to
-- definition must give what an author expects. The completion popup is the only part stood in
-- for (headless Neovim has none): vim.fn.complete receives what the popup would show.
local failures = 0
local function say(ok, name, detail)
  io.stdout:write((ok and 'ok - ' or 'not ok - ') .. name .. (detail and (': ' .. detail) or '') .. '\n')
  if not ok then
    failures = failures + 1
  end
end
local function finish()
  io.stdout:flush()
  vim.cmd(failures == 0 and 'qall!' or 'cquit! 1')
end

local buf = vim.api.nvim_get_current_buf()
say(vim.bo.filetype == 'kestrune', 'a .script file is a kestrune file', vim.bo.filetype)

local function line_of(text)
  for i, line in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    if line == text then
      return i
    end
  end
  error('no line ' .. text)
end

-- A request once the server answers (it is started by the configuration, asynchronously).
local function request(method, params)
  local answer
  vim.wait(60000, function()
    local responses = vim.lsp.buf_request_sync(buf, method, params, 1000)
    if responses then
      for _, response in pairs(responses) do
        if response.result then
          answer = response.result
          return true
        end
      end
    end
    return false
  end, 50)
  return answer
end
local function position(row, col)
  return { textDocument = vim.lsp.util.make_text_document_params(buf), position = { line = row - 1, character = col } }
end

vim.wait(60000, function()
  local _, client = next(vim.lsp.buf_get_clients(buf))
  return client ~= nil and client.initialized
end, 50)
local attached = request('textDocument/hover', position(line_of('play_music arpeggio'), 2))
say(attached ~= nil, 'the server attaches and answers a hover')
if not attached then
  return finish()
end

-- Omni completion as <C-x><C-o> runs it: the line as typed, the cursor at its end, then the first
-- offer accepted. `word` is what Neovim inserts at `start`, the column it completes from.
-- Insert mode's cursor may stand after the last character; normal mode's, with this.
vim.o.virtualedit = 'onemore'
local function complete(row, typed)
  vim.api.nvim_buf_set_lines(buf, row - 1, row, false, { typed })
  vim.api.nvim_win_set_cursor(0, { row, #typed })
  local offered
  local real_mode, real_complete = vim.fn.mode, vim.fn.complete
  vim.fn.mode = function() return 'i' end
  vim.fn.complete = function(start, items) offered = { start = start, items = items } end
  vim.lsp.omnifunc(1, '')
  vim.wait(10000, function() return offered ~= nil end, 20)
  vim.fn.mode, vim.fn.complete = real_mode, real_complete
  if not offered or #offered.items == 0 then
    return nil, offered and 'nothing offered' or 'no answer'
  end
  local words = {}
  for _, item in ipairs(offered.items) do
    table.insert(words, item.word)
  end
  return typed:sub(1, offered.start - 1) .. offered.items[1].word, words
end

local tween = line_of('object_tween_y sky, 0, 3, %ease_out_expo')
local rows = {
  { 'an easing constant typed after "%"', tween, 'object_tween_y sky, 0, 3, %ease_o', '^object_tween_y sky, 0, 3, %%ease_out_' },
  { 'a bare "%" is not written twice', tween, 'object_tween_y sky, 0, 3, %', '^object_tween_y sky, 0, 3, %%[a-z]' },
  { 'a constant of a delay', tween, 'delay %fl', '^delay %%flag_' },
  { 'a command word, without snippet placeholders', tween, 'object_tween_r', '^object_tween_r[a-z_]*$' },
}
for _, row in ipairs(rows) do
  local name, at, typed, expected = row[1], row[2], row[3], row[4]
  local line, words = complete(at, typed)
  say(line ~= nil and line:match(expected) ~= nil, 'completion: ' .. name,
      (line or words) .. (type(words) == 'table' and (' (of ' .. table.concat(words, ' ', 1, math.min(#words, 5)) .. ')') or ''))
end
local _, words = complete(line_of('goto orbit'), 'goto ')
say(type(words) == 'table' and table.concat(words, ' ') == 'orbit', 'completion: a jump is offered labels, not the sections',
    type(words) == 'table' and table.concat(words, ' ') or words)
vim.api.nvim_buf_set_lines(buf, tween - 1, tween, false, { 'object_tween_y sky, 0, 3, %ease_out_expo' })

local easing = line_of('object_tween_y orb1, 860, 1.6, 2')
local hover = request('textDocument/hover', position(easing, #'object_tween_y orb1, 860, 1.6, '))
local said = hover and hover.contents and hover.contents.value or ''
say(said:match('easing 2: %*%*') ~= nil, "hover: a numeric easing's curve", said)

local flash = line_of('object_play_animation orb2, flash')
local found = request('textDocument/definition', position(flash, #'object_play_animation orb2, f'))
local target = found and (found.uri or (found[1] and found[1].uri)) or ''
say(target:match('/assets/orb%.anim%.json$') ~= nil, 'definition: an animation name leads to its file', target)

finish()
