#pragma once

#include "script/Script.hpp"

#include <vector>

// What a save changed in a script, as stored lines: the lines both versions share at the start
// and at the end, and the changed run between them. It says which step of a run of the old
// version is the first that the new one may play differently, from the first step in which each
// old line was looked at; steps before it are the same in both.
class ScriptEdit
{
public:
    // A line of the changed run has no place in the other version.
    static constexpr int Changed = -2;

    ScriptEdit(const Script& before, const Script& after);

    // Where an old stored line is in the new version (lineCount maps to lineCount, the end; -1
    // stays -1: no line); Changed for a line of the changed run.
    int moved(int line) const;
    // The same for the place the interpreter goes on from: the first line of the changed run
    // (reached by running on from the shared start) is the first line of the new run.
    int movedNext(int line) const;
    // The first step a run may differ in: the earliest step in which a changed line, the place
    // where lines were inserted, or the line a label that now goes elsewhere used to go to, was
    // looked at (`touched`: one per old line, one for the end after the last line, then one for
    // jumps to undefined labels; -1: never); -1 when the two versions play alike for every step
    // run so far.
    long firstDifferentStep(const std::vector<long>& touched) const;
    // `touched` for the new version's lines (the end and undefined labels), keeping the steps before
    // `valid` (-1: all).
    std::vector<long> touchedAfter(const std::vector<long>& touched, long valid) const;

    bool unchanged() const { return same && oldCount == newCount && labelsSame; }

private:
    int oldCount = 0;
    int newCount = 0;
    int prefix = 0;
    int suffix = 0;
    bool same = false;
    bool labelsSame = true;
    // Old lines whose jumps now resolve elsewhere (a label added, moved or removed).
    std::vector<int> relabelled;
};
