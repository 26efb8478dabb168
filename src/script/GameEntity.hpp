#pragma once

#include "script/ScriptLine.hpp"

#include <cstdint>
#include <string>

// The script's extension interface: a scene adds its own commands and constants through it.
// Entities are never deleted through a base pointer, so there is no virtual destructor.
class GameEntity
{
public:
    static constexpr int FlagCount = 9;

    // Executes a command the interpreter does not know; false only for unknown command words.
    // The line is the interpreter's resolved copy; the entity reads it and never keeps it.
    virtual bool extScript(const ScriptLine& line);

    // Rewrites the entity's own constants in an already lower-cased parameter text.
    virtual std::string extVariable(std::string text);

    std::int32_t flags[FlagCount] = {};
};
