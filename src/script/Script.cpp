#include "script/Script.hpp"

#include "report/Problem.hpp"

#include "script/ScriptParams.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace
{
const char* const WhiteSpace = " \t\n\v\f\r";

// A byte-order mark is not in the set on purpose: it stays part of the first line.
std::size_t firstWritten(const std::string& text, std::size_t from, std::size_t to)
{
    while (from < to && std::strchr(WhiteSpace, text[from]) && text[from] != '\0')
        ++from;
    return from;
}

std::size_t lastWritten(const std::string& text, std::size_t from, std::size_t to)
{
    while (to > from && std::strchr(WhiteSpace, text[to - 1]) && text[to - 1] != '\0')
        --to;
    return to;
}

// The piece written between begin and end of the raw line: its text without quotes, trimmed.
Script::Piece piece(const std::string& raw, std::size_t begin, std::size_t end)
{
    begin = firstWritten(raw, begin, end);
    end = lastWritten(raw, begin, end);
    Script::Piece cut;
    cut.begin = begin;
    cut.end = end;
    for (std::size_t i = begin; i < end; ++i)
        if (raw[i] != '"')
            cut.text += raw[i];
    // Quotes removed from the ends can leave white space that the text does not keep.
    const std::size_t first = cut.text.find_first_not_of(WhiteSpace);
    if (first == std::string::npos)
        cut.text.clear();
    else
        cut.text = cut.text.substr(first, cut.text.find_last_not_of(WhiteSpace) - first + 1);
    return cut;
}
} // namespace

bool Script::load(const std::string& path)
{
    lines.clear();
    labels.clear();
    fileLines.clear();
    std::ifstream file(path);
    if (!file)
    {
        Problem::report(Problem("Script").file(path) << "Unable to open file " << path << ".");
        return false;
    }
    parse(file);
    return true;
}

void Script::parse(std::istream& in)
{
    lines.clear();
    labels.clear();
    fileLines.clear();
    std::string raw;
    int fileLine = 0;
    while (std::getline(in, raw))
        addLine(raw, ++fileLine);
}

Script::LineKind Script::split(const std::string& raw, std::vector<Piece>& pieces)
{
    pieces.clear();
    const std::size_t first = firstWritten(raw, 0, raw.size());
    const std::size_t last = lastWritten(raw, first, raw.size());
    if (first == last || raw[first] == ';')
        return LineKind::Blank;
    if (raw[first] == ':')
    {
        // The name is the text between the leading colon and the next one, kept untrimmed.
        const std::size_t colon = raw.find(':', first + 1);
        const std::size_t end = colon == std::string::npos || colon > last ? last : colon;
        Piece name;
        name.begin = first + 1;
        name.end = end;
        name.text = raw.substr(first + 1, end - first - 1);
        pieces.push_back(std::move(name));
        return LineKind::Label;
    }
    // Only the first space separates (the command from its parameters); commas separate outside quotes.
    bool quoted = false;
    bool spaceSeen = false;
    std::size_t start = first;
    for (std::size_t i = first; i < last; ++i)
    {
        const char c = raw[i];
        if (c == ' ' && !spaceSeen)
        {
            spaceSeen = true;
            pieces.push_back(piece(raw, start, i));
            start = i + 1;
        }
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
        {
            pieces.push_back(piece(raw, start, i));
            start = i + 1;
        }
    }
    pieces.push_back(piece(raw, start, last));
    return LineKind::Command;
}

void Script::addLine(const std::string& raw, int fileLine)
{
    std::vector<Piece> pieces;
    const LineKind kind = split(raw, pieces);
    if (kind == LineKind::Blank)
        return;
    fileLines.push_back(fileLine);
    if (kind == LineKind::Label)
    {
        std::string name = std::move(pieces.front().text);
        store(ScriptLine(LabelCommand, std::vector<std::string>{name}));
        // A jump lands on the line after the definition; a later definition of the same name wins.
        labels[name] = lineCount();
        return;
    }
    std::string command = std::move(pieces.front().text);
    std::vector<std::string> params;
    params.reserve(pieces.size() - 1);
    for (std::size_t i = 1; i < pieces.size(); ++i)
        params.push_back(std::move(pieces[i].text));
    store(ScriptLine(std::move(command), std::move(params)));
}

void Script::store(ScriptLine line)
{
    line.facts = paramFacts(line.params);
    line.asWritten = true;
    for (const ParamFacts& fact : line.facts)
        line.asWritten = line.asWritten && fact.plain;
    lines.push_back(std::move(line));
}

int Script::findLabel(const std::string& name) const
{
    const auto found = labels.find(name);
    if (found != labels.end())
        return found->second;
    Problem::report(Problem("Script") << "Unable to find label [" << name << "]");
    return 0;
}

const std::string* Script::labelAbove(int line) const
{
    for (int i = std::min(line, lineCount() - 1); i >= 0; --i)
    {
        const ScriptLine& candidate = lines[static_cast<std::size_t>(i)];
        if (candidate.command == LabelCommand && !candidate.params.empty())
            return &candidate.params[0];
    }
    return nullptr;
}

const ScriptLine* Script::outOfBounds()
{
    Problem::report(Problem("Script") << "Out of bounds");
    return nullptr;
}
