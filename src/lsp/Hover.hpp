#pragma once

#include "lsp/DemoAnalysis.hpp"
#include "lsp/ScriptModel.hpp"

#include <map>
#include <string>

// What a place of a script is: a command's signature, an easing's curve, a catalog entry (its file
// and what it holds), where an object or buffer is made, a label's first arrival time.
class Hover
{
public:
    // Markdown, or "" when there is nothing to say. `arrivals`: a label's arrival, as the label
    // times say it ("12.350 s (step 741)").
    static std::string at(const ScriptModel& script, const DemoAnalysis* analysis,
                          const std::map<std::string, std::string>& unsaved,
                          const std::map<std::string, std::string>& arrivals, int line, std::size_t byte);
};
