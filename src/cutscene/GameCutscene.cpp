#include "cutscene/GameCutscene.hpp"

#include "report/Problem.hpp"

#include "catalogs/DemoPaths.hpp"
#include "catalogs/ShaderManager.hpp"
#include "cutscene/CutsceneCommands.hpp"
#include "motion/Tween.hpp"
#include "profile/ProfileScope.hpp"
#include "scene/SceneCanvas.hpp"
#include "script/ScriptParams.hpp"

#include <algorithm>
#include <cstring>
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

namespace
{
const char* const ParticlesPrefix = "particles ";

// A name as a JSON string's contents: only quotes and backslashes can be in a script's words.
std::string jsonText(const std::string& text)
{
    std::string out;
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out;
}

void addArg(std::string& args, const char* key, const std::string& value)
{
    args += std::string(",\"") + key + "\":\"" + jsonText(value) + "\"";
}
} // namespace

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
    {
        ProfileScope tweens("tweens", Profiler::Step, Profiler::Kind::Line);
        for (auto& entry : objects)
            entry.second->update(dt);
        for (auto& entry : buffers)
            entry.second->update(dt);
    }
    // A system bound under two names advances twice per step.
    if (Profiler* profiler = Profiler::active)
    {
        for (auto& entry : particleSystems)
        {
            const auto describe = [&](Profiler::Name& fresh) {
                fresh.text = ParticlesPrefix + entry.first;
                fresh.kind = Profiler::Kind::Line;
                fresh.args = "\"particle_system\":\"" + jsonText(entry.first) + "\"";
            };
            std::uint32_t name = profiler->nameOf(&entry, describe);
            // A binding made after a clear may sit where another name's was.
            const std::string& known = profiler->nameAt(name).text;
            const std::size_t prefix = std::strlen(ParticlesPrefix);
            if (known.size() != prefix + entry.first.size() || known.compare(prefix, std::string::npos, entry.first) != 0)
            {
                profiler->forgetKey(&entry);
                name = profiler->nameOf(&entry, describe);
            }
            const Profiler::Open open = profiler->begin(name, Profiler::Step);
            entry.second->update(dt);
            profiler->end(open);
        }
        return;
    }
    for (auto& entry : particleSystems)
        entry.second->update(dt);
}


void GameCutscene::describeLine(int line, Profiler::Name& out)
{
    out.kind = Profiler::Kind::Line;
    const ScriptLine* stored = script.getLine(line);
    const std::size_t at = static_cast<std::size_t>(std::max(line, 0));
    const int fileLine = at < script.fileLines.size() ? script.fileLines[at] : line + 1;
    const std::string place = std::string(DemoPaths::Script).substr(std::string(DemoPaths::Script).rfind('/') + 1) +
                              ":" + std::to_string(fileLine);
    out.text = place;
    out.args = "\"file\":\"" + jsonText(DemoPaths::Script) + "\",\"line\":" + std::to_string(fileLine);
    if (!stored)
        return;
    out.text += " " + stored->command;
    for (std::size_t i = 0; i < stored->params.size(); ++i)
        out.text += (i == 0 ? " " : ", ") + stored->params[i];
    addArg(out.args, "command", stored->command);
    const std::string& command = stored->command;
    const auto param = [&](std::size_t i) { return i < stored->params.size() ? stored->params[i] : std::string(); };
    const auto shaderOf = [&](const SceneObject* object) {
        return object && object->shader ? ShaderManager::instance().keyOf(object->shader) : std::string();
    };
    if (command == "clear_buffer" || command == "display_buffer" || command == "render_scene")
        addArg(out.args, "buffer", param(0));
    else if (command == "draw_object" || command == "draw_buffer")
    {
        addArg(out.args, "buffer", param(0));
        addArg(out.args, "object", param(1));
        const auto object = objects.find(param(1));
        const auto buffer = buffers.find(param(1));
        const std::string shader = command == "draw_object"
                                       ? (object != objects.end() ? shaderOf(object->second.get()) : std::string())
                                       : (buffer != buffers.end() ? shaderOf(buffer->second.get()) : std::string());
        if (!shader.empty())
            addArg(out.args, "shader", shader);
    }
    else if (command == "draw_particles")
    {
        addArg(out.args, "buffer", param(0));
        addArg(out.args, "object", param(1));
    }
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
    // Lines of the script read before are other lines now.
    if (Profiler::active)
        Profiler::active->forgetKeys();
    CutsceneCommands::learnRows(script);
    interp.bind(&script, this);
    waitingForScript = false;
    return true;
}

SceneObject* GameCutscene::findObject(const std::string& name)
{
    SceneObject* object = findIn(objects, name);
    if (!object)
        Problem::report(Problem("GameCutscene") << "No such object [" << name << "]");
    return object;
}

RenderBuffer* GameCutscene::findBuffer(const std::string& name)
{
    RenderBuffer* buffer = findIn(buffers, name);
    if (!buffer)
        Problem::report(Problem("GameCutscene") << "No such buffer [" << name << "]");
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
        Problem::report(Problem("GameCutscene") << "No such particleSystem [" << name << "]");
    return system;
}

GameCutscene::Saved GameCutscene::save(const SceneCanvas& canvas) const
{
    Saved saved;
    for (int i = 0; i < FlagCount; ++i)
        saved.flags[i] = flags[i];
    saved.interp = interp.save();
    saved.started = started;
    saved.waitingForScript = waitingForScript;
    saved.sceneTargetIsCanvas = sceneTarget != nullptr && sceneTarget == canvas.texture.get();
    saved.bufferWidth = bufferWidth;
    saved.bufferHeight = bufferHeight;
    saved.objects.reserve(objects.size());
    for (const auto& entry : objects)
        saved.objects.emplace_back(entry.first, entry.second->save());
    saved.buffers.reserve(buffers.size());
    for (const auto& entry : buffers)
        saved.buffers.emplace_back(entry.first, entry.second->save());
    saved.bindings = particleSystems;
    saved.canvas = canvas.save();
    return saved;
}

void GameCutscene::restore(const Saved& saved, SceneCanvas& canvas)
{
    for (int i = 0; i < FlagCount; ++i)
        flags[i] = saved.flags[i];
    // What a seek watches for is the seek's own, not the state's.
    interp.restore(saved.interp);
    started = saved.started;
    waitingForScript = saved.waitingForScript;
    sceneTarget = saved.sceneTargetIsCanvas ? canvas.texture.get() : nullptr;
    bufferWidth = saved.bufferWidth;
    bufferHeight = saved.bufferHeight;
    drawing.failed = false;

    // Objects: the same names, in the saved values.
    std::unordered_map<std::string, std::unique_ptr<SceneObject>> nowObjects;
    for (const auto& entry : saved.objects)
    {
        auto found = objects.find(entry.first);
        std::unique_ptr<SceneObject> object =
            found != objects.end() ? std::move(found->second)
                                   : std::make_unique<SceneObject>(entry.first, nullptr, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
        object->restore(entry.second);
        nowObjects.emplace(entry.first, std::move(object));
    }
    objects.swap(nowObjects);

    // Buffers: no loans are left over; a buffer of the same name and size keeps its texture.
    canvas.forgetShown();
    std::unordered_map<std::string, std::unique_ptr<RenderBuffer>> nowBuffers;
    for (const auto& entry : saved.buffers)
    {
        std::unique_ptr<RenderBuffer> buffer;
        auto found = buffers.find(entry.first);
        if (found != buffers.end())
        {
            found->second->endLoan();
            if (found->second->canRestore(entry.second))
                buffer = std::move(found->second);
        }
        if (!buffer)
            buffer = std::make_unique<RenderBuffer>(entry.first, entry.second.content.width,
                                                    entry.second.content.height);
        buffer->restore(entry.second);
        nowBuffers.emplace(entry.first, std::move(buffer));
    }
    buffers.swap(nowBuffers);
    // The old buffers go only now: one that lent its texture gives the canvas nothing back.
    nowBuffers.clear();
    particleSystems = saved.bindings;

    canvas.restore(saved.canvas);
    for (const auto& entry : saved.buffers)
    {
        if (!entry.second.lent())
            continue;
        RenderBuffer& buffer = *buffers[entry.first];
        buffer.lentTo = &canvas;
        buffer.target.content = DrawTarget::Content::Lent;
        canvas.shown = &buffer;
    }
}

bool GameCutscene::Saved::fullyKnown() const
{
    for (const auto& entry : buffers)
        if (entry.second.content.stale())
            return false;
    return !canvas.stale();
}

std::size_t GameCutscene::Saved::bytes() const
{
    std::size_t sum = sizeof(Saved) + canvas.bytes();
    for (const auto& entry : objects)
        sum += entry.second.bytes();
    for (const auto& entry : buffers)
        sum += entry.second.bytes();
    return sum;
}
