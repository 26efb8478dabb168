#include "lsp/Hover.hpp"

#include "cutscene/GameCutscene.hpp"
#include "lsp/Completion.hpp"
#include "motion/Tween.hpp"

#include <cctype>
#include <cstdlib>

namespace
{
std::string curveText(const EasingCurve& curve)
{
    const std::string constant = GameCutscene::easingConstant(curve);
    return "easing " + std::to_string(curve.number) + ": **" + curve.name + "**" +
           (constant.empty() ? "" : " (`" + constant + "`)");
}

// The easing a constant ("%ease_out_back") or a number names.
const EasingCurve* curveNamed(const std::string& text)
{
    for (int i = 0; i < easingCurveCount(); ++i)
    {
        const EasingCurve& curve = easingCurves()[i];
        const std::string constant = GameCutscene::easingConstant(curve);
        if (!constant.empty() && constant == text)
            return &curve;
    }
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0')
        return nullptr;
    return findEasing(static_cast<EasingType>(number));
}
} // namespace

std::string Hover::at(const ScriptModel& script, const DemoAnalysis* analysis,
                      const std::map<std::string, std::string>& unsaved,
                      const std::map<std::string, std::string>& arrivals, int lineIndex, std::size_t byte)
{
    if (lineIndex < 0 || lineIndex >= static_cast<int>(script.lines().size()))
        return std::string();
    const ScriptModel::Line& line = script.lines()[static_cast<std::size_t>(lineIndex)];
    const int piece = ScriptModel::pieceAt(line, byte);
    if (piece < 0)
        return std::string();
    const std::string& text = line.pieces[static_cast<std::size_t>(piece)].text;

    if (line.kind == Script::LineKind::Label)
    {
        const auto arrival = arrivals.find(text);
        return "label **" + text + "**" +
               (arrival == arrivals.end() ? std::string() : "\n\nfirst arrival: " + arrival->second);
    }
    if (line.kind != Script::LineKind::Command)
        return std::string();
    if (piece == 0)
        return line.info ? "```\n" + Completion::signature(*line.info) + "\n```\n\n" + std::string(line.info->description)
                         : std::string();
    if (!line.info || piece > line.info->signature.count)
        return std::string();
    const Param& param = line.info->signature.params[piece - 1];
    std::string said = "parameter " + std::to_string(piece) + " `" + param.name + "` (" + kindName(param.kind) + ")";

    // A constant anywhere: an easing's curve, or the value it stands for.
    std::string lowered = text;
    for (char& c : lowered)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (param.kind == ParamKind::Easing || param.kind == ParamKind::YoyoEasing || lowered.rfind("%ease_", 0) == 0)
    {
        if (const EasingCurve* curve = curveNamed(lowered))
            return said + "\n\n" + curveText(*curve);
        if (param.kind == ParamKind::YoyoEasing && text == "-1")
            return said + "\n\nthe forward curve again";
    }
    for (const auto& constant : GameCutscene::constants())
        if (constant.first == lowered)
            return said + "\n\n`" + constant.first + "` = " + constant.second;

    if (const DemoAnalysis::Catalog* catalog = DemoAnalysis::catalogOf(param.kind))
    {
        int at = 0, column = 0;
        std::string json;
        if (analysis && analysis->entry(*catalog, text, unsaved, at, column, json))
            return said + "\n\n" + catalog->noun + " **" + text + "** in " + catalog->path + ":" + std::to_string(at) +
                   "\n```json\n" + json + "\n```";
        return said + "\n\n" + catalog->noun + " **" + text + "** is not in " + catalog->path;
    }
    if (const ScriptModel::Occurrence* occurrence = script.at(lineIndex, byte))
    {
        if (occurrence->kind == ScriptModel::NameKind::Label)
        {
            const auto arrival = arrivals.find(occurrence->name);
            return said + (arrival == arrivals.end() ? std::string() : "\n\nfirst arrival: " + arrival->second);
        }
        if (const ScriptModel::Occurrence* made = script.definition(occurrence->kind, occurrence->name))
            return said + "\n\n**" + occurrence->name + "** is made at line " + std::to_string(made->line + 1) +
                   ":\n```kestrune\n" + script.raw[static_cast<std::size_t>(made->line)] + "\n```";
    }
    return said;
}
