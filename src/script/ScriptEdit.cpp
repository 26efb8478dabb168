#include "script/ScriptEdit.hpp"

#include <algorithm>
#include <string>

namespace
{
bool sameLine(const ScriptLine& a, const ScriptLine& b)
{
    return a.command == b.command && a.params == b.params;
}

// Where a jump to `name` went: an undefined label goes to line 0.
int target(const Script& script, const std::string& name)
{
    const auto found = script.labels.find(name);
    return found == script.labels.end() ? 0 : found->second;
}
} // namespace

ScriptEdit::ScriptEdit(const Script& before, const Script& after)
    : oldCount(before.lineCount()), newCount(after.lineCount())
{
    const int shorter = std::min(oldCount, newCount);
    while (prefix < shorter && sameLine(before.lines[static_cast<std::size_t>(prefix)],
                                        after.lines[static_cast<std::size_t>(prefix)]))
        ++prefix;
    while (suffix < shorter - prefix &&
           sameLine(before.lines[static_cast<std::size_t>(oldCount - 1 - suffix)],
                    after.lines[static_cast<std::size_t>(newCount - 1 - suffix)]))
        ++suffix;
    same = prefix == oldCount && prefix == newCount;

    // A jump looks its label up by name: where a name now resolves to another place, the old
    // place it went to marks every run that took it.
    auto check = [&](const std::string& name) {
        const bool defined = before.labels.count(name) != 0;
        const int was = target(before, name);
        if (moved(was) != target(after, name))
        {
            labelsSame = false;
            // Jumps to an undefined label are followed apart from line 0's own runs.
            relabelled.push_back(defined ? was : oldCount + 1);
        }
    };
    for (const auto& label : before.labels)
        check(label.first);
    for (const auto& label : after.labels)
        if (before.labels.count(label.first) == 0)
            check(label.first);
}

int ScriptEdit::moved(int line) const
{
    if (line < 0)
        return line;
    if (line < prefix)
        return line;
    if (line >= oldCount - suffix)
        return line + (newCount - oldCount);
    return Changed;
}

int ScriptEdit::movedNext(int line) const
{
    return line == prefix ? prefix : moved(line);
}

long ScriptEdit::firstDifferentStep(const std::vector<long>& touched) const
{
    long first = -1;
    auto consider = [&](int line) {
        if (line < 0 || static_cast<std::size_t>(line) >= touched.size())
            return;
        const long step = touched[static_cast<std::size_t>(line)];
        if (step >= 0 && (first < 0 || step < first))
            first = step;
    };
    for (int line = prefix; line < oldCount - suffix; ++line)
        consider(line);
    // Lines inserted where there were none change every run that passed that place: the old line
    // after it (or the end) was looked at in the same run.
    if (prefix == oldCount - suffix && prefix < newCount - suffix)
        consider(prefix);
    for (int line : relabelled)
        consider(line);
    return first;
}

std::vector<long> ScriptEdit::touchedAfter(const std::vector<long>& touched, long valid) const
{
    std::vector<long> after(static_cast<std::size_t>(newCount) + 2, -1);
    if (touched.size() > static_cast<std::size_t>(oldCount) + 1)
    {
        const long undefinedJump = touched.back();
        if (valid < 0 || undefinedJump < valid)
            after.back() = undefinedJump;
    }
    // The lines, and the end after them.
    for (int line = 0; line <= oldCount && static_cast<std::size_t>(line) < touched.size(); ++line)
    {
        const int to = moved(line);
        const long step = touched[static_cast<std::size_t>(line)];
        if (to >= 0 && to <= newCount && (valid < 0 || step < valid))
            after[static_cast<std::size_t>(to)] = step;
    }
    return after;
}
