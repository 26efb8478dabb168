#include "script/ScriptFlow.hpp"

#include "script/ScriptInterp.hpp"

#include <algorithm>
#include <deque>

ScriptInterp::Flow ScriptFlow::flowOf(const std::string& command)
{
    // Words that are not built in reach the scene and go on with the next line.
    const int row = ScriptInterp::findBuiltin(command);
    return row < 0 ? ScriptInterp::Flow::Next : ScriptInterp::builtin(row).flow;
}

ScriptFlow::ScriptFlow(const Script& flowScript)
    : script(flowScript), count(flowScript.lineCount()), next(static_cast<std::size_t>(count)),
      yields(static_cast<std::size_t>(count), false)
{
    for (int line = 0; line < count; ++line)
        addEdges(line);
    mainFlow.assign(static_cast<std::size_t>(count) + 1, false);
    for (int line : reachableFrom(0, true))
        mainFlow[static_cast<std::size_t>(line)] = true;
}

int ScriptFlow::matchingEndif(int opener) const
{
    int depth = 0;
    for (int line = opener; line < count; ++line)
    {
        // Skipping counts every opener (also the two that are not built in) and endif.
        depth += ScriptInterp::blockChange(script.lines[static_cast<std::size_t>(line)].command);
        if (depth == 0)
            return line;
    }
    return -1;
}

void ScriptFlow::addEdges(int line)
{
    const ScriptLine& text = script.lines[static_cast<std::size_t>(line)];
    std::vector<int>& to = next[static_cast<std::size_t>(line)];
    auto jumpTargets = [&]() {
        const std::string label = text.params.empty() ? std::string() : text.params[0];
        // A label built from constants or variables is known only at run time.
        if (!text.params.empty() && !text.facts[0].plain)
        {
            for (const auto& entry : script.labels)
                to.push_back(entry.second);
            to.push_back(0);
            return;
        }
        const auto found = script.labels.find(label);
        // An undefined label sends the flow to the first line.
        to.push_back(found == script.labels.end() ? 0 : found->second);
    };
    using Flow = ScriptInterp::Flow;
    switch (flowOf(text.command))
    {
    case Flow::Next:
    case Flow::Close: to.push_back(line + 1); break;
    case Flow::Goto: jumpTargets(); break;
    case Flow::Gosub:
        jumpTargets();
        to.push_back(line + 1);
        break;
    case Flow::Return: break;
    case Flow::Yield:
        // A delay goes on with the next line; reset_script starts again at the first.
        yields[static_cast<std::size_t>(line)] = true;
        to.push_back(line + 1);
        to.push_back(0);
        break;
    case Flow::Stop: break;
    case Flow::Open:
    {
        to.push_back(line + 1);
        // A false condition skips past the matching endif; without one the script ends there.
        const int endif = matchingEndif(line);
        to.push_back(endif < 0 ? count : endif + 1);
        break;
    }
    }
}

std::vector<int> ScriptFlow::reachableFrom(int start, bool throughYields) const
{
    std::vector<bool> seen(static_cast<std::size_t>(count) + 1, false);
    std::vector<int> found;
    std::deque<int> open{start};
    seen[static_cast<std::size_t>(start)] = true;
    while (!open.empty())
    {
        const int line = open.front();
        open.pop_front();
        found.push_back(line);
        if (line >= count || (!throughYields && yields[static_cast<std::size_t>(line)]))
            continue;
        for (int to : next[static_cast<std::size_t>(line)])
        {
            if (!seen[static_cast<std::size_t>(to)])
            {
                seen[static_cast<std::size_t>(to)] = true;
                open.push_back(to);
            }
        }
    }
    return found;
}

bool ScriptFlow::reaches(const std::string& label) const
{
    const auto found = script.labels.find(label);
    return found != script.labels.end() && mainFlow[static_cast<std::size_t>(found->second)];
}

std::vector<int> ScriptFlow::mainFlowLabels() const
{
    std::vector<int> found;
    for (int line = 0; line < count; ++line)
    {
        const ScriptLine& text = script.lines[static_cast<std::size_t>(line)];
        if (text.command != Script::LabelCommand || text.params.empty())
            continue;
        // A label's entry is the line after its definition.
        const auto entry = script.labels.find(text.params[0]);
        if (entry != script.labels.end() && entry->second == line + 1 && mainFlow[static_cast<std::size_t>(line) + 1])
            found.push_back(line);
    }
    return found;
}

bool ScriptFlow::runsIntoDefinition(const std::string& label, int& labelLine) const
{
    // A jump lands after a label's line, so reaching the line itself means running on into it.
    for (int line = 0; line < count; ++line)
    {
        const ScriptLine& text = script.lines[static_cast<std::size_t>(line)];
        if (text.command == Script::LabelCommand && !text.params.empty() && text.params[0] == label &&
            mainFlow[static_cast<std::size_t>(line)])
        {
            labelLine = line;
            return true;
        }
    }
    return false;
}

std::vector<int> ScriptFlow::unreachedLabels(const std::vector<std::string>& entries) const
{
    std::vector<bool> reached = mainFlow;
    for (const std::string& entry : entries)
    {
        // A section that is not defined runs from the first line.
        const auto found = script.labels.find(entry);
        for (int line : reachableFrom(found == script.labels.end() ? 0 : found->second, true))
            reached[static_cast<std::size_t>(line)] = true;
    }
    // Only a jump to the label defined on a line lands on the line after it without running
    // through the label's own line.
    std::vector<int> unreached;
    for (int line = 0; line < count; ++line)
        if (script.lines[static_cast<std::size_t>(line)].command == Script::LabelCommand &&
            !reached[static_cast<std::size_t>(line)] && !reached[static_cast<std::size_t>(line) + 1])
            unreached.push_back(line);
    return unreached;
}

std::vector<int> ScriptFlow::endlessLoops() const
{
    std::vector<int> loops;
    for (int line = 0; line < count; ++line)
    {
        const ScriptLine& text = script.lines[static_cast<std::size_t>(line)];
        if (flowOf(text.command) != ScriptInterp::Flow::Goto || text.params.empty() || !text.facts[0].plain)
            continue;
        const auto target = script.labels.find(text.params[0]);
        if (target == script.labels.end() || target->second >= count)
            continue;
        // The loop's body: lines on a path from the label to this goto that give no step back.
        std::vector<bool> inBody(static_cast<std::size_t>(count) + 1, false);
        for (int reached : reachableFrom(target->second, false))
            inBody[static_cast<std::size_t>(reached)] = true;
        if (!inBody[static_cast<std::size_t>(line)])
            continue;
        // Any edge that leaves the body, a line that yields, returns or stops, is a way out.
        bool wayOut = false;
        for (int member = 0; member < count && !wayOut; ++member)
        {
            if (!inBody[static_cast<std::size_t>(member)])
                continue;
            const auto& to = next[static_cast<std::size_t>(member)];
            wayOut = yields[static_cast<std::size_t>(member)] || to.empty() ||
                     std::any_of(to.begin(), to.end(), [&](int n) { return n >= count; });
        }
        if (!wayOut)
            loops.push_back(line);
    }
    return loops;
}
