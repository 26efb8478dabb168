#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a parameter's text reads as, worked out once when the text cannot change at run time.
struct ParamFacts
{
    // The text holds no "%" and no "$": resolving it gives it back unchanged.
    bool plain = false;
    // For a plain text: the accessors read it without a message, as this integer or this number.
    bool isInteger = false;
    bool isNumber = false;
    // 0..8 when the text, lower-cased, is exactly the flag constant "%flag_N"; otherwise -1.
    std::int8_t flag = -1;
    std::int32_t integer = 0;
    float number = 0.f;
};

// One parsed script line: the command word and its parameter texts, still unresolved.
struct ScriptLine
{
    // A row that was not looked up yet, and a command word that no row of a table holds.
    static constexpr int NotLookedUp = -1;
    static constexpr int NoRow = -2;

    ScriptLine() = default;
    ScriptLine(std::string command, std::vector<std::string> params)
        : command(std::move(command)), params(std::move(params))
    {}

    std::string command;
    std::vector<std::string> params;

    // What the line learns when it is loaded, so that running it looks nothing up by name. A line
    // made elsewhere knows none of it and is looked up by its command word.
    int builtin = NotLookedUp;     // row of the interpreter's command table
    int extension = NotLookedUp;   // row of the command table of the entity that loaded the script
    int blockChange = 0;           // while skipping: +1 for a block opener, -1 for endif
    int jump = -1;                 // the line a goto or gosub goes to, when its label is written plainly
    bool asWritten = false;        // every parameter is plain: the line runs without a copy
    std::vector<ParamFacts> facts; // one per parameter, once the line is loaded
};
