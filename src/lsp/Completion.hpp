#pragma once

#include "lsp/DemoAnalysis.hpp"
#include "lsp/ScriptModel.hpp"

#include <nlohmann/json.hpp>

#include <map>
#include <string>

// What may be typed at a place of a script, read from the command signatures: command words at
// the start of a line, and in a parameter what its kind names (labels, the script's objects,
// buffers and bindings, catalog keys, animation files and the animations of the file an object
// loads, easing and other constants, flags and aliases).
class Completion
{
public:
    // The protocol's CompletionList for a byte of a file line. `analysis` may be null (no demo);
    // `unsaved` holds the editor's texts by path in the demo. Every item carries the range of the
    // word it replaces; command words come as snippets only when the client takes `snippets`.
    static nlohmann::json at(const ScriptModel& script, const DemoAnalysis* analysis,
                             const std::map<std::string, std::string>& unsaved, int line, std::size_t byte,
                             bool snippets);

    // "object_tween_x object:object, target:number, seconds:number, [easing:easing=0]".
    static std::string signature(const CommandInfo& info);
    // The snippet that writes the command with its needed parameters as placeholders.
    static std::string snippet(const CommandInfo& info);
};
