#pragma once

#include <string>
#include <vector>

// One parsed script line: the command word and its parameter texts, still unresolved.
struct ScriptLine
{
    ScriptLine() = default;
    ScriptLine(std::string command, std::vector<std::string> params)
        : command(std::move(command)), params(std::move(params))
    {}

    std::string command;
    std::vector<std::string> params;
};
