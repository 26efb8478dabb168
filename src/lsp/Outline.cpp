#include "lsp/Outline.hpp"

#include "lsp/LineMap.hpp"
#include "script/ScriptInterp.hpp"

namespace
{
using Json = nlohmann::json;

// The protocol's SymbolKind numbers.
constexpr int Module = 2;
constexpr int Function = 12;

Json position(int line, int character)
{
    return {{"line", line}, {"character", character}};
}

// The last line of a part that starts at `from` and ends before `next`, without trailing blanks.
int lastLine(const ScriptModel& script, int from, int next)
{
    int last = next - 1;
    while (last > from && script.lines()[static_cast<std::size_t>(last)].kind == Script::LineKind::Blank)
        --last;
    return last;
}
} // namespace

Json Outline::symbols(const ScriptModel& script)
{
    Json symbols = Json::array();
    const int count = static_cast<int>(script.lines().size());
    std::vector<int> starts;
    for (int i = 0; i < count; ++i)
        if (script.lines()[static_cast<std::size_t>(i)].kind == Script::LineKind::Label)
            starts.push_back(i);
    auto add = [&](const std::string& name, int kind, int from, int next, std::size_t begin, std::size_t end) {
        const int last = lastLine(script, from, next);
        const std::string& raw = script.raw[static_cast<std::size_t>(from)];
        const Json selection = {{"start", position(from, LineMap::units(raw, begin))},
                                {"end", position(from, LineMap::units(raw, end))}};
        symbols.push_back({{"name", name},
                           {"kind", kind},
                           {"range",
                            {{"start", position(from, 0)},
                             {"end", position(last, LineMap::units(script.raw[static_cast<std::size_t>(last)],
                                                                   script.raw[static_cast<std::size_t>(last)].size()))}}},
                           {"selectionRange", selection}});
    };
    const int firstLabel = starts.empty() ? count : starts.front();
    bool mainFlow = false;
    for (int i = 0; i < firstLabel; ++i)
        mainFlow = mainFlow || script.lines()[static_cast<std::size_t>(i)].kind != Script::LineKind::Blank;
    if (mainFlow)
        add("main flow", Module, 0, firstLabel, 0, 0);
    for (std::size_t i = 0; i < starts.size(); ++i)
    {
        const ScriptModel::Line& line = script.lines()[static_cast<std::size_t>(starts[i])];
        const std::string& name = line.pieces.front().text;
        const bool section = name == Script::InitSection || name == Script::RenderSection;
        add(":" + name, section ? Module : Function, starts[i], i + 1 < starts.size() ? starts[i + 1] : count,
            line.pieces.front().begin - 1, line.pieces.front().end);
    }
    return symbols;
}

Json Outline::folding(const ScriptModel& script)
{
    Json ranges = Json::array();
    const int count = static_cast<int>(script.lines().size());
    std::vector<int> open;
    int section = -1;
    for (int i = 0; i <= count; ++i)
    {
        const bool end = i == count;
        const ScriptModel::Line* line = end ? nullptr : &script.lines()[static_cast<std::size_t>(i)];
        if (end || line->kind == Script::LineKind::Label)
        {
            if (section >= 0 && lastLine(script, section, i) > section)
                ranges.push_back({{"startLine", section}, {"endLine", lastLine(script, section, i)}, {"kind", "region"}});
            section = i;
            continue;
        }
        if (line->kind != Script::LineKind::Command)
            continue;
        const int change = ScriptInterp::blockChange(line->pieces.front().text);
        if (change > 0)
            open.push_back(i);
        else if (change < 0 && !open.empty())
        {
            if (i > open.back())
                ranges.push_back({{"startLine", open.back()}, {"endLine", i}});
            open.pop_back();
        }
    }
    return ranges;
}
