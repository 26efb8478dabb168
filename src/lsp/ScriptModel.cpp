#include "lsp/ScriptModel.hpp"

#include "check/ScriptChecker.hpp"

#include <algorithm>
#include <cctype>

namespace
{
bool nameByte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
} // namespace

ScriptModel::ScriptModel(const std::string& text)
{
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        raw.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    fileLines.resize(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
    {
        Line& line = fileLines[i];
        line.kind = Script::split(raw[i], line.pieces);
        if (line.kind == Script::LineKind::Command)
            line.info = ScriptChecker::command(line.pieces.front().text);
        collect(static_cast<int>(i), line);
    }
}

void ScriptModel::collect(int index, const Line& line)
{
    if (line.kind == Script::LineKind::Label)
    {
        const Script::Piece& name = line.pieces.front();
        names.push_back({NameKind::Label, name.text, index, name.begin, name.end, true});
        labelLines.emplace(name.text, index);
        return;
    }
    if (line.kind != Script::LineKind::Command)
        return;
    const std::string& text = raw[static_cast<std::size_t>(index)];
    for (std::size_t i = 1; i < line.pieces.size(); ++i)
    {
        const Script::Piece& piece = line.pieces[i];
        // "$name" anywhere in a parameter reads an alias.
        for (std::size_t at = text.find('$', piece.begin); at != std::string::npos && at < piece.end;
             at = text.find('$', at + 1))
        {
            std::size_t end = at + 1;
            while (end < piece.end && nameByte(text[end]))
                ++end;
            if (end > at + 1)
                names.push_back({NameKind::Alias, text.substr(at + 1, end - at - 1), index, at + 1, end, false});
        }
        if (!line.info || static_cast<int>(i) > line.info->signature.count || piece.text.empty() ||
            piece.text.find_first_of("%$") != std::string::npos)
            continue;
        const ParamKind kind = line.info->signature.params[i - 1].kind;
        auto add = [&](NameKind name, bool definition) {
            names.push_back({name, piece.text, index, piece.begin, piece.end, definition});
        };
        switch (kind)
        {
        case ParamKind::Label: add(NameKind::Label, false); break;
        case ParamKind::NewObject:
        case ParamKind::NewBuffer: add(NameKind::Scene, true); break;
        case ParamKind::Object:
        case ParamKind::Buffer:
        case ParamKind::ObjectOrBuffer: add(NameKind::Scene, false); break;
        case ParamKind::NewBinding: add(NameKind::Binding, true); break;
        case ParamKind::Binding: add(NameKind::Binding, false); break;
        case ParamKind::NewVariable: add(NameKind::Alias, true); break;
        case ParamKind::Variable: add(NameKind::Alias, false); break;
        default: break;
        }
    }
}

const ScriptModel::Occurrence* ScriptModel::at(int line, std::size_t byte) const
{
    for (const Occurrence& occurrence : names)
        if (occurrence.line == line && byte >= occurrence.begin && byte <= occurrence.end)
            return &occurrence;
    return nullptr;
}

const ScriptModel::Occurrence* ScriptModel::definition(NameKind kind, const std::string& name) const
{
    for (const Occurrence& occurrence : names)
        if (occurrence.definition && occurrence.kind == kind && occurrence.name == name)
            return &occurrence;
    return nullptr;
}

std::vector<std::string> ScriptModel::defined(NameKind kind) const
{
    std::vector<std::string> found;
    for (const Occurrence& occurrence : names)
        if (occurrence.definition && occurrence.kind == kind &&
            std::find(found.begin(), found.end(), occurrence.name) == found.end())
            found.push_back(occurrence.name);
    return found;
}

std::vector<std::string> ScriptModel::animationFilesOf(const std::string& object) const
{
    std::vector<std::string> files, anyObject;
    for (const Line& line : fileLines)
    {
        if (!line.info || line.info->signature.count < 2 || line.pieces.size() < 3 ||
            line.info->signature.params[1].kind != ParamKind::AnimationFile)
            continue;
        const std::string& file = line.pieces[2].text;
        std::vector<std::string>& into = line.pieces[1].text == object ? files : anyObject;
        if (std::find(into.begin(), into.end(), file) == into.end())
            into.push_back(file);
    }
    return files.empty() ? anyObject : files;
}

int ScriptModel::pieceAt(const Line& line, std::size_t byte)
{
    for (std::size_t i = 0; i < line.pieces.size(); ++i)
        if (byte >= line.pieces[i].begin && byte <= line.pieces[i].end)
            return static_cast<int>(i);
    return -1;
}

int ScriptModel::paramAt(const std::string& raw, std::size_t byte)
{
    // The same cuts as parsing: the first space ends the command word, commas outside quotes
    // separate parameters.
    std::size_t at = raw.find_first_not_of(" \t\v\f\r");
    if (at == std::string::npos)
        return -1;
    bool quoted = false;
    bool spaceSeen = false;
    int piece = 0;
    for (; at < raw.size() && at < byte; ++at)
    {
        const char c = raw[at];
        if (c == ' ' && !spaceSeen)
        {
            spaceSeen = true;
            ++piece;
        }
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++piece;
    }
    return piece - 1;
}
