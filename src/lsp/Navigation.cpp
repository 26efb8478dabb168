#include "lsp/Navigation.hpp"

#include "lsp/DemoFolder.hpp"
#include "lsp/LineMap.hpp"

#include <cctype>
#include <filesystem>

namespace
{
using Json = nlohmann::json;

Json range(const ScriptModel& script, int line, std::size_t begin, std::size_t end)
{
    const std::string& raw = script.raw[static_cast<std::size_t>(line)];
    return {{"start", {{"line", line}, {"character", LineMap::units(raw, begin)}}},
            {"end", {{"line", line}, {"character", LineMap::units(raw, end)}}}};
}

Json location(const std::string& uri, Json where)
{
    return {{"uri", uri}, {"range", std::move(where)}};
}

const char* nounOf(ScriptModel::NameKind kind)
{
    switch (kind)
    {
    case ScriptModel::NameKind::Label: return "label";
    case ScriptModel::NameKind::Scene: return "object or buffer";
    case ScriptModel::NameKind::Binding: return "particle binding";
    default: return "alias";
    }
}
} // namespace

Json Navigation::definition(const ScriptModel& script, const std::string& uri, const DemoAnalysis* analysis,
                            const std::map<std::string, std::string>& unsaved, int lineIndex, std::size_t byte)
{
    if (lineIndex < 0 || lineIndex >= static_cast<int>(script.lines().size()))
        return nullptr;
    if (const ScriptModel::Occurrence* occurrence = script.at(lineIndex, byte))
    {
        const ScriptModel::Occurrence* made = script.definition(occurrence->kind, occurrence->name);
        if (!made)
            return nullptr;
        return location(uri, range(script, made->line, made->begin, made->end));
    }
    const ScriptModel::Line& line = script.lines()[static_cast<std::size_t>(lineIndex)];
    const int piece = ScriptModel::pieceAt(line, byte);
    if (!analysis || piece < 1 || !line.info || piece > line.info->signature.count)
        return nullptr;
    const ParamKind kind = line.info->signature.params[piece - 1].kind;
    const std::string& text = line.pieces[static_cast<std::size_t>(piece)].text;
    const Json start = {{"line", 0}, {"character", 0}};
    if (kind == ParamKind::AnimationFile)
    {
        // The file itself, as a catalog's file name leads to it.
        std::error_code failed;
        const std::string file = (std::filesystem::path(analysis->root) / text).lexically_normal().string();
        if (text.empty() || !std::filesystem::is_regular_file(file, failed))
            return nullptr;
        return location(DemoFolder::uriOf(file), {{"start", start}, {"end", start}});
    }
    if (kind == ParamKind::Animation)
    {
        // The animation's entry in the first file loaded into the object that holds it.
        const std::string object = line.pieces.size() > 1 ? line.pieces[1].text : std::string();
        for (const std::string& file : script.animationFilesOf(object))
        {
            int at = 0, column = 0;
            if (analysis->animationEntry(file, text, unsaved, at, column))
            {
                const Json position = {{"line", at - 1}, {"character", column - 1}};
                return location(DemoFolder::uriOf(analysis->root + "/" + file),
                                {{"start", position}, {"end", position}});
            }
        }
        return nullptr;
    }
    const DemoAnalysis::Catalog* catalog = DemoAnalysis::catalogOf(kind);
    int at = 0, column = 0;
    std::string json;
    if (!catalog || !analysis->entry(*catalog, text, unsaved, at, column, json))
        return nullptr;
    const Json position = {{"line", at - 1}, {"character", column - 1}};
    return location(DemoFolder::uriOf(analysis->root + "/" + catalog->path), {{"start", position}, {"end", position}});
}

Json Navigation::references(const ScriptModel& script, const std::string& uri, int line, std::size_t byte,
                            bool withDefinition)
{
    const ScriptModel::Occurrence* target = script.at(line, byte);
    if (!target)
        return nullptr;
    Json found = Json::array();
    for (const ScriptModel::Occurrence& occurrence : script.occurrences())
        if (occurrence.kind == target->kind && occurrence.name == target->name &&
            (withDefinition || !occurrence.definition))
            found.push_back(location(uri, range(script, occurrence.line, occurrence.begin, occurrence.end)));
    return found;
}

Json Navigation::rename(const ScriptModel& script, const std::string& uri, int line, std::size_t byte,
                        const std::string& name, std::string& error)
{
    const ScriptModel::Occurrence* target = script.at(line, byte);
    if (!target)
        return nullptr;
    // A name is one piece the parser keeps whole: no separators, quotes or constants in it.
    if (name.empty() || name.find_first_of(" \t\r\n,\":;%$") != std::string::npos)
    {
        error = "\"" + name + "\" cannot be a name in a script (no spaces, commas, quotes, colons, \"%\" or \"$\")";
        return nullptr;
    }
    // Two of one name would merge what the author kept apart (the first label of a name is the
    // one jumps land on; a second create_object replaces the first): such a rename is refused.
    // The sections the player runs by name are labels even before the script writes them.
    if (name != target->name)
    {
        const bool section = target->kind == ScriptModel::NameKind::Label &&
                             (name == Script::InitSection || name == Script::RenderSection);
        if (section || script.definition(target->kind, name))
        {
            error = std::string(nounOf(target->kind)) + " \"" + name + "\" exists" +
                    (section ? " (the section the player runs by name)" : " already") + ": \"" + target->name +
                    "\" cannot take its name";
            return nullptr;
        }
    }
    Json edits = Json::array();
    for (const ScriptModel::Occurrence& occurrence : script.occurrences())
        if (occurrence.kind == target->kind && occurrence.name == target->name)
            edits.push_back({{"range", range(script, occurrence.line, occurrence.begin, occurrence.end)},
                             {"newText", name}});
    return {{"changes", {{uri, edits}}}};
}

std::string Navigation::fileInJson(const std::string& root, const std::string& text, int line, int character)
{
    const LineMap lines(text);
    const std::string raw = lines.line(line);
    const std::size_t byte = LineMap::bytes(raw, character);
    // The string literal around the place.
    std::size_t open = std::string::npos;
    bool inside = false;
    for (std::size_t i = 0; i < raw.size(); ++i)
    {
        if (raw[i] == '\\')
        {
            ++i;
            continue;
        }
        if (raw[i] != '"')
            continue;
        if (!inside)
            open = i;
        else if (open <= byte && byte <= i)
        {
            const std::string name = raw.substr(open + 1, i - open - 1);
            std::error_code failed;
            const std::string path = (std::filesystem::path(root) / name).lexically_normal().string();
            if (!name.empty() && std::filesystem::is_regular_file(path, failed))
                return path;
            return std::string();
        }
        inside = !inside;
    }
    return std::string();
}
