#pragma once

#include "scene/SceneObject.hpp"

#include <string>
#include <vector>

class GameCutscene;

// The scene commands of the script, one table row each, in dispatch order.
class CutsceneCommands
{
public:
    using Params = std::vector<std::string>;
    struct Row;
    using Handler = void (*)(GameCutscene& cutscene, const Params& params, const Row& row);

    struct Row
    {
        const char* name;
        int needs; // parameter count passed to the count check
        Handler handler;
        // The properties a property or tween command acts on; Property::Count where unused.
        Property first;
        Property second;
    };

    // The row whose name equals command exactly, or null for an unknown command.
    static const Row* find(const std::string& command);
    // Every row in dispatch order (for tools that check scripts against the table).
    static std::vector<const Row*> all();
};
