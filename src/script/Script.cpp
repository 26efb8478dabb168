#include "script/Script.hpp"

#include "script/ScriptParams.hpp"

#include <fstream>
#include <iostream>

namespace
{
const char* const WhiteSpace = " \t\n\v\f\r";

// A byte-order mark is not in the set on purpose: it stays part of the first line.
std::string trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(WhiteSpace);
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(WhiteSpace);
    return text.substr(first, last - first + 1);
}

// The name is the text between the leading colon and the next one, kept untrimmed.
std::string labelName(const std::string& line)
{
    const std::size_t end = line.find(':', 1);
    return line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
}

// Only the first space separates (the command from its parameters); commas separate outside quotes.
std::vector<std::string> cutPieces(const std::string& line)
{
    std::vector<std::string> pieces;
    std::string current;
    bool quoted = false;
    bool spaceSeen = false;
    for (const char c : line)
    {
        if (c == ' ' && !spaceSeen)
        {
            spaceSeen = true;
            pieces.push_back(trim(current));
            current.clear();
        }
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
        {
            pieces.push_back(trim(current));
            current.clear();
        }
        else
            current += c;
    }
    pieces.push_back(trim(current));
    return pieces;
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
        std::cerr << "Script: Unable to open file " << path << "." << std::endl;
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
        addLine(trim(raw), ++fileLine);
}

void Script::addLine(const std::string& line, int fileLine)
{
    if (line.empty() || line[0] == ';')
        return;
    fileLines.push_back(fileLine);
    if (line[0] == ':')
    {
        std::string name = labelName(line);
        store(ScriptLine(LabelCommand, std::vector<std::string>{name}));
        // A jump lands on the line after the definition; a later definition of the same name wins.
        labels[name] = lineCount();
        return;
    }
    std::vector<std::string> pieces = cutPieces(line);
    std::string command = std::move(pieces.front());
    pieces.erase(pieces.begin());
    store(ScriptLine(std::move(command), std::move(pieces)));
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
    std::cerr << "Script: Unable to find label [" << name << "]" << std::endl;
    return 0;
}

const ScriptLine* Script::getLine(int index) const
{
    if (index < 0 || index >= lineCount())
    {
        std::cerr << "Script: Out of bounds" << std::endl;
        return nullptr;
    }
    return &lines[static_cast<std::size_t>(index)];
}
