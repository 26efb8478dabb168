#pragma once

#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"

#include <string>
#include <vector>

// Where the main flow of a script can go, found without running it. Every jump and both ways of
// every conditional block are taken as possible, so a line this calls unreachable is never run
// by the main flow, and a loop it calls endless has no way out at all.
class ScriptFlow
{
public:
    explicit ScriptFlow(const Script& script);

    // True when the main flow can arrive at the label, by running on to it or by a jump.
    bool reaches(const std::string& label) const;
    // True when the main flow can run on (not jump) into the line that defines the label, so
    // that it runs the lines of that section as its own.
    bool runsIntoDefinition(const std::string& label, int& labelLine) const;
    // The labels that are places of the main flow, as stored line indexes of their definitions
    // in the script's order: of a name defined twice the later definition (the one jumps land
    // on), and only those the main flow can arrive at. Author mode's list of labels and
    // --timeline both name these.
    std::vector<int> mainFlowLabels() const;
    // The goto lines that close a loop with no delay in it and no way out of it: once entered,
    // such a loop runs until the interpreter's line cap, every step.
    std::vector<int> endlessLoops() const;
    // The label lines that nothing reaches: not the main flow, nor a run entered at one of
    // `entries` (the sections the player runs by name), by a jump or by running on.
    std::vector<int> unreachedLabels(const std::vector<std::string>& entries) const;

private:
    static ScriptInterp::Flow flowOf(const std::string& command);

    void addEdges(int line);
    std::vector<int> reachableFrom(int start, bool throughYields) const;
    int matchingEndif(int opener) const;

    const Script& script;
    int count;
    std::vector<std::vector<int>> next; // successors of each line; `count` stands for the end
    std::vector<bool> yields;
    std::vector<bool> mainFlow; // lines the main flow can reach from line 0
};
