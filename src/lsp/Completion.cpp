#include "lsp/Completion.hpp"

#include "cutscene/CutsceneCommands.hpp"
#include "cutscene/GameCutscene.hpp"
#include "lsp/LineMap.hpp"
#include "motion/Tween.hpp"
#include "script/GameEntity.hpp"
#include "script/ScriptInterp.hpp"

#include <algorithm>
#include <set>

namespace
{
using Json = nlohmann::json;

// The protocol's CompletionItemKind numbers.
enum ItemKind
{
    Function = 3,
    Variable = 6,
    Value = 12,
    Constant = 21,
    Reference = 18,
    File = 17
};

Json item(const std::string& label, int kind, const std::string& detail)
{
    Json entry = {{"label", label}, {"kind", kind}};
    if (!detail.empty())
        entry["detail"] = detail;
    return entry;
}

bool numeric(ParamKind kind)
{
    return kind == ParamKind::Integer || kind == ParamKind::Number || kind == ParamKind::Easing ||
           kind == ParamKind::YoyoEasing || kind == ParamKind::Flag;
}

void commandWords(Json& items, bool snippets)
{
    auto add = [&items, snippets](const CommandInfo& info) {
        if (info.name == Script::LabelCommand)
            return;
        Json entry = item(std::string(info.name), Function, Completion::signature(info));
        if (snippets)
        {
            entry["insertText"] = Completion::snippet(info);
            entry["insertTextFormat"] = 2; // a snippet
        }
        if (!info.description.empty())
            entry["documentation"] = std::string(info.description);
        items.push_back(std::move(entry));
    };
    for (int row = 0; row < ScriptInterp::builtinCount(); ++row)
        add(ScriptInterp::builtin(row).info);
    for (const CutsceneCommands::Row* row : CutsceneCommands::all())
        add(row->info);
}

void easings(Json& items, bool yoyo)
{
    for (int i = 0; i < easingCurveCount(); ++i)
    {
        const EasingCurve& curve = easingCurves()[i];
        const std::string constant = GameCutscene::easingConstant(curve);
        const std::string detail = "easing " + std::to_string(curve.number) + ": " + curve.name;
        if (!constant.empty())
            items.push_back(item(constant, Constant, detail));
        Json number = item(std::to_string(curve.number), Value, std::string("curve ") + curve.name);
        number["sortText"] = "~" + std::to_string(1000 + curve.number);
        items.push_back(std::move(number));
    }
    if (yoyo)
        items.push_back(item("-1", Value, "the forward curve again"));
}

void constants(Json& items, ParamKind kind)
{
    for (const auto& constant : GameCutscene::constants())
    {
        // Easing constants belong to easing parameters; the others read as any number.
        if (constant.first.rfind("%ease_", 0) == 0 && kind != ParamKind::Easing && kind != ParamKind::YoyoEasing)
            continue;
        if (constant.first.rfind("%ease_", 0) != 0)
            items.push_back(item(constant.first, Constant, "= " + constant.second));
    }
    for (const auto& constant : ScriptInterp::constants())
        items.push_back(item(constant.first, Constant, constant.second));
}
// The animations of the files the script loads into `object`.
void animations(Json& items, const ScriptModel& script, const DemoAnalysis& analysis,
                const std::map<std::string, std::string>& unsaved, const std::string& object)
{
    std::set<std::string> offered;
    for (const std::string& file : script.animationFilesOf(object))
        for (const std::string& name : analysis.animationsIn(file, unsaved))
            if (offered.insert(name).second)
                items.push_back(item(name, Value, "animation in " + file));
}

// The word a completion replaces: the piece the place is in, from its first byte (a "%" or a "$"
// included) to its last, so that every editor replaces it whole instead of guessing its own word.
Json wordRange(const std::string& raw, int line, std::size_t byte)
{
    const auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '"' || c == '\r'; };
    byte = std::min(byte, raw.size());
    std::size_t begin = byte, end = byte;
    while (begin > 0 && !separator(raw[begin - 1]))
        --begin;
    while (end < raw.size() && !separator(raw[end]))
        ++end;
    return {{"start", {{"line", line}, {"character", LineMap::units(raw, begin)}}},
            {"end", {{"line", line}, {"character", LineMap::units(raw, end)}}}};
}

Json listOf(Json items, const Json& range)
{
    for (Json& entry : items)
    {
        const bool snippet = entry.value("insertTextFormat", 1) == 2;
        entry["textEdit"] = {{"range", range}, {"newText", snippet ? entry["insertText"] : entry["label"]}};
    }
    return {{"isIncomplete", false}, {"items", std::move(items)}};
}
} // namespace

std::string Completion::signature(const CommandInfo& info)
{
    std::string text(info.name);
    for (const Param& param : info.signature)
    {
        std::string described = std::string(param.name) + ":" + kindName(param.kind);
        if (param.optional())
            described = "[" + described + "=" + param.fallback + "]";
        text += (&param == info.signature.begin() ? " " : ", ") + described;
    }
    return text;
}

std::string Completion::snippet(const CommandInfo& info)
{
    std::string text(info.name);
    for (int i = 0; i < info.signature.needs; ++i)
        text += (i == 0 ? " " : ", ") + std::string("${") + std::to_string(i + 1) + ":" + info.signature.params[i].name +
                "}";
    return text;
}

Json Completion::at(const ScriptModel& script, const DemoAnalysis* analysis,
                    const std::map<std::string, std::string>& unsaved, int lineIndex, std::size_t byte, bool snippets)
{
    Json items = Json::array();
    if (lineIndex < 0 || lineIndex >= static_cast<int>(script.lines().size()))
        return {{"isIncomplete", false}, {"items", items}};
    const std::string& raw = script.raw[static_cast<std::size_t>(lineIndex)];
    const ScriptModel::Line& line = script.lines()[static_cast<std::size_t>(lineIndex)];
    const std::size_t first = raw.find_first_not_of(" \t\v\f\r");
    if (first != std::string::npos && first < byte && (raw[first] == ';' || raw[first] == ':'))
        return {{"isIncomplete", false}, {"items", items}};
    const Json range = wordRange(raw, lineIndex, byte);
    const int param = ScriptModel::paramAt(raw, byte);
    if (param < 0)
    {
        commandWords(items, snippets);
        return listOf(std::move(items), range);
    }
    if (!line.info || param >= line.info->signature.count)
        return {{"isIncomplete", false}, {"items", items}};
    const ParamKind kind = line.info->signature.params[param].kind;
    auto names = [&](ScriptModel::NameKind name, int itemKind, const char* detail) {
        for (const std::string& defined : script.defined(name))
            items.push_back(item(defined, itemKind, detail));
    };
    switch (kind)
    {
    case ParamKind::Label:
        // A jump to a section the player runs by name would run it as the main flow.
        for (const std::string& label : script.defined(ScriptModel::NameKind::Label))
            if (label != Script::InitSection && label != Script::RenderSection)
                items.push_back(item(label, Reference, "label"));
        break;
    case ParamKind::Object:
    case ParamKind::Buffer:
    case ParamKind::ObjectOrBuffer: names(ScriptModel::NameKind::Scene, Variable, "object or buffer"); break;
    case ParamKind::Binding: names(ScriptModel::NameKind::Binding, Variable, "particle binding"); break;
    case ParamKind::Variable: names(ScriptModel::NameKind::Alias, Variable, "alias"); break;
    case ParamKind::Easing:
    case ParamKind::YoyoEasing: easings(items, kind == ParamKind::YoyoEasing); break;
    case ParamKind::Flag:
        for (int flag = 0; flag < GameEntity::FlagCount; ++flag)
            items.push_back(item(std::to_string(flag), Value, "flag " + std::to_string(flag)));
        break;
    default: break;
    }
    if (kind == ParamKind::Integer || kind == ParamKind::Number || kind == ParamKind::Easing ||
        kind == ParamKind::YoyoEasing)
        constants(items, kind);
    if (numeric(kind) || kind == ParamKind::Text)
        for (const std::string& alias : script.defined(ScriptModel::NameKind::Alias))
            items.push_back(item("$" + alias, Variable, "alias (its flag's value)"));
    if (analysis && kind == ParamKind::AnimationFile)
        for (const std::string& file : analysis->animationFiles(unsaved))
            items.push_back(item(file, File, "animation file"));
    if (analysis && kind == ParamKind::Animation && !line.pieces.empty())
        animations(items, script, *analysis, unsaved, line.pieces.size() > 1 ? line.pieces[1].text : std::string());
    if (analysis)
        if (const DemoAnalysis::Catalog* catalog = DemoAnalysis::catalogOf(kind))
            for (const std::string& key : analysis->keysOf(*catalog))
                items.push_back(item(key, File, std::string(catalog->noun) + " in " + catalog->path));
    return listOf(std::move(items), range);
}
