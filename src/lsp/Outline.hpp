#pragma once

#include "lsp/ScriptModel.hpp"

#include <nlohmann/json.hpp>

// The shape of a script: the main flow and every label as document symbols (a label's symbol runs
// to the line before the next label), and folding ranges for sections and if ... endif blocks.
class Outline
{
public:
    static nlohmann::json symbols(const ScriptModel& script);
    static nlohmann::json folding(const ScriptModel& script);
};
