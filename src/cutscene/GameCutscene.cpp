#include "cutscene/GameCutscene.hpp"

#include "cutscene/CutsceneCommands.hpp"
#include "motion/Tween.hpp"
#include "scene/SceneCanvas.hpp"
#include "script/ScriptParams.hpp"

#include <algorithm>
#include <iostream>
#include <vector>

namespace
{
constexpr int DefaultBufferWidth = SceneCanvas::Width;
constexpr int DefaultBufferHeight = SceneCanvas::Height;

// The easing constants are the curves' names after this prefix ("%ease_in_sine").
const char* const EasingPrefix = "%ease_";

struct Constant
{
    std::string text;
    std::string value;
};

// Easing and repeat constants of the script language, substituted in this order (no constant
// holds another or a digit, so the order never changes a result).
const std::vector<Constant>& constantTable()
{
    static const std::vector<Constant> table = [] {
        std::vector<Constant> rows;
        for (int i = 0; i < easingCurveCount(); ++i)
        {
            const EasingCurve& curve = easingCurves()[i];
            if (curve.scriptConstant)
                rows.push_back({GameCutscene::easingConstant(curve), std::to_string(curve.number)});
        }
        rows.push_back({"%forever", "-1"});
        return rows;
    }();
    return table;
}

template <typename Map>
typename Map::mapped_type::pointer findIn(Map& map, const std::string& name)
{
    const auto found = map.find(name);
    return found == map.end() ? nullptr : found->second.get();
}

ParticleSystem* findIn(std::unordered_map<std::string, ParticleSystem*>& map, const std::string& name)
{
    const auto found = map.find(name);
    return found == map.end() ? nullptr : found->second;
}
} // namespace

GameCutscene& GameCutscene::instance()
{
    static GameCutscene cutscene;
    return cutscene;
}

bool GameCutscene::extScript(const ScriptLine& line)
{
    const CutsceneCommands::Row* row = CutsceneCommands::rowOf(line);
    if (!row)
        return false;
    // A shortfall is only reported; the command runs with the missing values read as "" or 0.
    const int needs = row->info.signature.needs;
    if (line.params.size() < static_cast<std::size_t>(needs))
        checkParamCount(line.command, line.params, needs);
    row->handler(*this, LineParams(line), *row);
    return true;
}

std::string GameCutscene::extVariable(std::string text)
{
    // Only the first occurrence of each constant is replaced. Replacing in place keeps this
    // free of allocations: every value is shorter than its constant. Without a "%" (the
    // interpreter has replaced its own constants already) there is nothing to look for.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '%'; }))
        return text;
    for (const Constant& constant : constantTable())
    {
        const std::size_t at = text.find(constant.text);
        if (at != std::string::npos)
            text.replace(at, constant.text.size(), constant.value);
    }
    return text;
}

bool GameCutscene::isConstant(const std::string& text)
{
    for (const Constant& constant : constantTable())
        if (text == constant.text)
            return true;
    return false;
}

std::vector<std::pair<std::string, std::string>> GameCutscene::constants()
{
    std::vector<std::pair<std::string, std::string>> result;
    for (const Constant& constant : constantTable())
        result.emplace_back(constant.text, constant.value);
    return result;
}

std::string GameCutscene::easingConstant(const EasingCurve& curve)
{
    return curve.scriptConstant ? EasingPrefix + std::string(curve.name) : std::string();
}

void GameCutscene::update(float dt)
{
    if (waitingForScript)
        return;
    // The init section runs once after every clear, before the main flow's first line.
    if (!started)
    {
        started = true;
        interp.executeSub(Script::InitSection);
    }
    interp.update(dt);
    for (auto& entry : objects)
        entry.second->update(dt);
    for (auto& entry : buffers)
        entry.second->update(dt);
    // A system bound under two names advances twice per step.
    for (auto& entry : particleSystems)
        entry.second->update(dt);
}

void GameCutscene::clearScene()
{
    // Flags live in the entity and survive; the interpreter forgets position, delay and aliases.
    interp.reset();
    started = false;
    // Bound systems stop and lose their particles; systems nobody bound keep theirs.
    for (auto& entry : particleSystems)
        entry.second->reset();
    bufferWidth = DefaultBufferWidth;
    bufferHeight = DefaultBufferHeight;
    objects.clear();
    buffers.clear();
    particleSystems.clear();
}

void GameCutscene::restart()
{
    clearScene();
    for (std::int32_t& flag : flags)
        flag = 0;
    // A script that never loaded leaves the interpreter unbound, as at start-up.
    if (interp.script)
        interp.rewind();
    interp.resetRequested = false;
    waitingForScript = false;
    sceneTarget = nullptr;
}

bool GameCutscene::loadScript(const std::string& path)
{
    if (!script.load(path))
        return false;
    CutsceneCommands::learnRows(script);
    interp.bind(&script, this);
    waitingForScript = false;
    return true;
}

SceneObject* GameCutscene::findObject(const std::string& name)
{
    SceneObject* object = findIn(objects, name);
    if (!object)
        std::cerr << "GameCutscene: No such object [" << name << "]\n";
    return object;
}

RenderBuffer* GameCutscene::findBuffer(const std::string& name)
{
    RenderBuffer* buffer = findIn(buffers, name);
    if (!buffer)
        std::cerr << "GameCutscene: No such buffer [" << name << "]\n";
    return buffer;
}

SceneObject* GameCutscene::findObjectOrBuffer(const std::string& name)
{
    // Objects first; a name found in neither map reports only the buffer miss.
    if (SceneObject* object = findIn(objects, name))
        return object;
    return findBuffer(name);
}

ParticleSystem* GameCutscene::findParticleSystem(const std::string& name)
{
    ParticleSystem* system = findIn(particleSystems, name);
    if (!system)
        std::cerr << "GameCutscene: No such particleSystem [" << name << "]\n";
    return system;
}
