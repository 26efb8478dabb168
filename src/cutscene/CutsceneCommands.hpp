#pragma once

#include "scene/SceneObject.hpp"
#include "script/CommandSignature.hpp"
#include "script/Script.hpp"
#include "script/ScriptParams.hpp"

#include <string>
#include <string_view>
#include <vector>

class GameCutscene;

// The scene commands of the script, one table row each, in dispatch order.
class CutsceneCommands
{
public:
    using Params = LineParams;
    struct Row;
    using Handler = void (*)(GameCutscene& cutscene, const Params& params, const Row& row);

    struct Row
    {
        CommandSpec spec;
        Handler handler;
        // The properties a property or tween command acts on; Property::Count where unused.
        Property first;
        Property second;
    };

    // The row whose name equals command exactly, or null for an unknown command.
    static const Row* find(const std::string& command);
    // The row a line names: the one it learnt at load, or the one found by its command word.
    static const Row* rowOf(const ScriptLine& line);
    // Every row in dispatch order (for tools that check scripts against the table).
    static std::vector<const Row*> all();
    // Tells each line of a loaded script which row it runs, so that running it finds no name.
    static void learnRows(Script& script);
};
