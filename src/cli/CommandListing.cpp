#include "cli/CommandListing.hpp"

#include "cutscene/CutsceneCommands.hpp"
#include "cutscene/GameCutscene.hpp"
#include "motion/Tween.hpp"
#include "script/ScriptInterp.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
const char* const BuiltIn = "built-in";
const char* const Scene = "scene";

struct Listed
{
    const CommandInfo* info;
    const char* section;
};

// Every command an author writes, in dispatch order; the stored form of a label line is not one.
std::vector<Listed> commands()
{
    std::vector<Listed> listed;
    for (int row = 0; row < ScriptInterp::builtinCount(); ++row)
    {
        const CommandInfo& info = ScriptInterp::builtin(row).info;
        if (info.name != Script::LabelCommand)
            listed.push_back({&info, BuiltIn});
    }
    for (const CutsceneCommands::Row* row : CutsceneCommands::all())
        listed.push_back({&row->info, Scene});
    return listed;
}

std::string describe(const Param& param)
{
    const std::string text = std::string(param.name) + ":" + kindName(param.kind);
    return param.optional() ? "[" + text + "=" + param.fallback + "]" : text;
}
} // namespace

void CommandListing::print(std::ostream& out)
{
    for (const Listed& command : commands())
    {
        std::string line = std::string(command.info->name);
        line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
        line += command.section;
        if (command.info->signature.count > 0)
            line.resize(std::max<std::size_t>(line.size() + 1, 34), ' ');
        for (const Param& param : command.info->signature)
            line += describe(param) + (&param == command.info->signature.end() - 1 ? "" : " ");
        out << line << "\n";
    }
}

void CommandListing::printJson(std::ostream& out)
{
    using Json = nlohmann::ordered_json;
    Json document;
    Json& listed = document["commands"] = Json::array();
    for (const Listed& command : commands())
    {
        Json params = Json::array();
        for (const Param& param : command.info->signature)
        {
            Json entry = {{"name", param.name}, {"kind", kindName(param.kind)}};
            if (param.optional())
            {
                entry["optional"] = true;
                entry["default"] = param.fallback;
            }
            params.push_back(entry);
        }
        listed.push_back({{"name", command.info->name},
                          {"section", command.section},
                          {"needs", command.info->signature.needs},
                          {"params", params},
                          {"description", command.info->description}});
    }
    Json& constants = document["constants"] = Json::array();
    for (const auto& constant : ScriptInterp::constants())
        constants.push_back({{"name", constant.first}, {"value", constant.second}, {"section", BuiltIn}});
    for (const auto& constant : GameCutscene::constants())
        constants.push_back({{"name", constant.first}, {"value", constant.second}, {"section", Scene}});
    Json& easings = document["easings"] = Json::array();
    for (int i = 0; i < easingCurveCount(); ++i)
    {
        const EasingCurve& curve = easingCurves()[i];
        const std::string constant = GameCutscene::easingConstant(curve);
        easings.push_back(
            {{"number", curve.number}, {"name", curve.name}, {"constant", constant.empty() ? Json() : Json(constant)}});
    }
    out << document.dump(2) << "\n";
}
