#include "lsp/ProtocolDiagnostics.hpp"

#include "check/ScriptChecker.hpp"
#include "lsp/LineMap.hpp"
#include "script/Script.hpp"

#include <cctype>

namespace
{
using Json = nlohmann::json;

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The bytes of the token starting at `at`: a string literal, or a run of word characters.
std::size_t tokenEnd(const std::string& line, std::size_t at)
{
    if (at >= line.size())
        return at;
    if (line[at] == '"')
    {
        for (std::size_t i = at + 1; i < line.size(); ++i)
        {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                return i + 1;
        }
        return line.size();
    }
    std::size_t end = at;
    while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) ||
                                 std::string("_.+-").find(line[end]) != std::string::npos))
        ++end;
    return end == at ? at + 1 : end;
}
} // namespace

Json ProtocolDiagnostics::convert(const std::vector<const Diagnostics::Entry*>& entries, const std::string& text)
{
    const LineMap lines(text);
    Json out = Json::array();
    for (const Diagnostics::Entry* entry : entries)
    {
        const int line = entry->line > 0 ? entry->line - 1 : 0;
        const std::string raw = lines.line(line);
        std::size_t begin = 0, end = 0;
        std::string code = endsWith(entry->path, ".json") ? "json" : "file";
        if (endsWith(entry->path, ".frag") || endsWith(entry->path, ".vert"))
            code = "shader";
        if (entry->line > 0 && entry->column > 0)
        {
            begin = std::min(static_cast<std::size_t>(entry->column - 1), raw.size());
            end = std::min(tokenEnd(raw, begin), raw.size());
        }
        else if (entry->line > 0 && endsWith(entry->path, ".script"))
        {
            std::vector<Script::Piece> pieces;
            const Script::LineKind kind = Script::split(raw, pieces);
            code = kind == Script::LineKind::Label ? "label" : "command";
            std::size_t piece = 0;
            if (kind == Script::LineKind::Command && entry->param >= 0 &&
                static_cast<std::size_t>(entry->param) + 1 < pieces.size())
            {
                piece = static_cast<std::size_t>(entry->param) + 1;
                if (const CommandInfo* info = ScriptChecker::command(pieces.front().text))
                    if (entry->param < info->signature.count)
                        code = kindName(info->signature.params[entry->param].kind);
            }
            if (!pieces.empty())
            {
                begin = pieces[piece].begin - (kind == Script::LineKind::Label ? 1 : 0);
                end = pieces[piece].end;
            }
            if (end <= begin)
            {
                begin = raw.find_first_not_of(" \t");
                begin = begin == std::string::npos ? 0 : begin;
                end = raw.size();
            }
        }
        else if (entry->line > 0)
        {
            begin = 0;
            end = raw.size();
        }
        const int severity = entry->severity == Diagnostics::Severity::Error     ? 1
                             : entry->severity == Diagnostics::Severity::Warning ? 2
                                                                                 : 3;
        out.push_back({{"range",
                        {{"start", {{"line", line}, {"character", LineMap::units(raw, begin)}}},
                         {"end", {{"line", line}, {"character", LineMap::units(raw, end)}}}}},
                       {"severity", severity},
                       {"code", code},
                       {"source", "kestrune"},
                       {"message", entry->text}});
    }
    return out;
}
