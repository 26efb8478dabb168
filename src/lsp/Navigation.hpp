#pragma once

#include "lsp/DemoAnalysis.hpp"
#include "lsp/ScriptModel.hpp"

#include <nlohmann/json.hpp>

#include <map>
#include <string>

// Go to definition, references and rename in a script: labels, objects and buffers, particle
// bindings and aliases within the script; catalog keys to their entry in the JSON file, animation
// names to their entry in the file the object loads, animation files to the file. In a catalog, a
// file name to the file.
class Navigation
{
public:
    // Locations (protocol JSON) or null.
    static nlohmann::json definition(const ScriptModel& script, const std::string& uri, const DemoAnalysis* analysis,
                                     const std::map<std::string, std::string>& unsaved, int line, std::size_t byte);
    static nlohmann::json references(const ScriptModel& script, const std::string& uri, int line, std::size_t byte,
                                     bool withDefinition);
    // A WorkspaceEdit, or null when nothing renamable is there; `error` says why a name is refused
    // (not a name, or one that the same kind already has).
    static nlohmann::json rename(const ScriptModel& script, const std::string& uri, int line, std::size_t byte,
                                 const std::string& name, std::string& error);
    // The file a string of a JSON catalog names (its absolute path), or "".
    static std::string fileInJson(const std::string& root, const std::string& text, int line, int character);
};
