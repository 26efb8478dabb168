#include "check/ScriptChecker.hpp"

#include "catalogs/DemoPaths.hpp"
#include "cutscene/CutsceneCommands.hpp"
#include "cutscene/GameCutscene.hpp"
#include "script/Script.hpp"
#include "check/Utf8.hpp"
#include "motion/Tween.hpp"
#include "script/ScriptFlow.hpp"
#include "script/ScriptInterp.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <sstream>

namespace
{
using K = ParamKind;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The easing numbers as the easing table lists them: "0..16, 111, 112".
std::string easingNumbers()
{
    std::string text;
    const EasingCurve* curves = easingCurves();
    for (int i = 0; i < easingCurveCount();)
    {
        int last = i;
        while (last + 1 < easingCurveCount() && curves[last + 1].number == curves[last].number + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(curves[i].number);
        if (last > i + 1)
            text += ".." + std::to_string(curves[last].number);
        else if (last == i + 1)
            text += ", " + std::to_string(curves[last].number);
        i = last + 1;
    }
    return text;
}

// The command a script defines or loads something with, named in the hints of the messages:
// the first, built-in or scene, whose parameters start with these kinds.
std::string commandTaking(std::initializer_list<ParamKind> kinds)
{
    auto starts = [&kinds](const Signature& signature) {
        if (signature.count < static_cast<int>(kinds.size()))
            return false;
        int i = 0;
        for (ParamKind kind : kinds)
            if (signature.params[i++].kind != kind)
                return false;
        return true;
    };
    for (int row = 0; row < ScriptInterp::builtinCount(); ++row)
        if (starts(ScriptInterp::builtin(row).info.signature))
            return std::string(ScriptInterp::builtin(row).info.name);
    for (const CutsceneCommands::Row* row : CutsceneCommands::all())
        if (starts(row->info.signature))
            return std::string(row->info.name);
    return std::string();
}

// The index of the first parameter of this kind, or -1.
int paramOf(const Signature& signature, ParamKind kind)
{
    for (int i = 0; i < signature.count; ++i)
        if (signature.params[i].kind == kind)
            return i;
    return -1;
}

// The first built-in command that opens a block, and the one that closes it, named in messages.
std::string firstBuiltinWith(ScriptInterp::Flow flow)
{
    for (int row = 0; row < ScriptInterp::builtinCount(); ++row)
        if (ScriptInterp::builtin(row).flow == flow)
            return std::string(ScriptInterp::builtin(row).info.name);
    return std::string();
}

std::string opener()
{
    return firstBuiltinWith(ScriptInterp::Flow::Open);
}

std::string closer()
{
    return firstBuiltinWith(ScriptInterp::Flow::Close);
}

// Resolves constants as the player does, with every flag at 0, to read a number out of them.
std::string resolveConstants(const std::string& text)
{
    static ScriptInterp resolver;
    resolver.entity = &GameCutscene::instance();
    return resolver.resolveParam(text);
}
} // namespace

const CommandInfo* ScriptChecker::command(const std::string& word)
{
    // The interpreter's own commands come first, exactly as it dispatches.
    const int builtin = ScriptInterp::findBuiltin(word);
    if (builtin >= 0)
        return &ScriptInterp::builtin(builtin).info;
    const CutsceneCommands::Row* row = CutsceneCommands::find(word);
    return row ? &row->info : nullptr;
}

void ScriptChecker::error(const Line& line, const std::string& text)
{
    diagnostics.error(path, line.fileLine, 0, text);
    diagnostics.entries.back().param = currentParam;
}

void ScriptChecker::warning(const Line& line, const std::string& text)
{
    diagnostics.warning(path, line.fileLine, 0, text);
    diagnostics.entries.back().param = currentParam;
}

bool ScriptChecker::dynamic(const std::string& text) const
{
    return text.find('%') != std::string::npos || text.find('$') != std::string::npos;
}

void ScriptChecker::check(const std::string& scriptPath, const std::string& text)
{
    path = scriptPath;
    Script script;
    std::istringstream in(text);
    script.parse(in);
    lines.clear();
    for (std::size_t i = 0; i < script.lines.size(); ++i)
        lines.push_back(
            {script.fileLines[i], script.lines[i].command, script.lines[i].params, command(script.lines[i].command)});

    const std::size_t first = diagnostics.entries.size();
    collect();
    for (const Line& line : lines)
        checkLine(line);
    checkBlocks();
    checkSections();
    checkFlow(script);
    checkEncoding(text);
    // The script's own diagnostics in line order, with what concerns the whole file last, after
    // those of the animation files it names.
    const auto begin = diagnostics.entries.begin() + static_cast<std::ptrdiff_t>(first);
    const auto own = std::stable_partition(begin, diagnostics.entries.end(),
                                           [this](const Diagnostics::Entry& entry) { return entry.path != path; });
    std::stable_sort(own, diagnostics.entries.end(), [](const Diagnostics::Entry& a, const Diagnostics::Entry& b) {
        return (a.line == 0 ? INT_MAX : a.line) < (b.line == 0 ? INT_MAX : b.line);
    });
}

// Everything that a line anywhere in the script defines: labels, objects, buffers, bindings,
// aliases and the animations each object loads.
void ScriptChecker::collect()
{
    labels.clear();
    // Jumps go to a label's last definition.
    std::map<std::string, int> lastDefinitions;
    for (const Line& line : lines)
        if (line.command == Script::LabelCommand)
            lastDefinitions[line.params.empty() ? std::string() : line.params[0]] = line.fileLine;
    // A name made of constants or variables is known only at run time: uses of that kind of
    // name are then not checked.
    auto define = [this](const std::string& name, std::set<std::string>& names, bool& dynamicNames) {
        if (dynamic(name))
            dynamicNames = true;
        else
            names.insert(name);
    };
    for (const Line& line : lines)
    {
        const std::string first = line.params.empty() ? std::string() : line.params[0];
        if (line.command == Script::LabelCommand)
        {
            const auto defined = labels.emplace(first, line.fileLine);
            if (!defined.second)
                error(line, "label " + quoted(first) + " is defined again (first at line " +
                                std::to_string(defined.first->second) + "); jumps go to the last definition, at line " +
                                std::to_string(lastDefinitions[first]));
            continue;
        }
        if (!line.info)
            continue;
        // What a parameter of each kind defines; a missing name reads as "".
        const Signature& signature = line.info->signature;
        for (int i = 0; i < signature.count; ++i)
        {
            const std::size_t at = static_cast<std::size_t>(i);
            const std::string name = at < line.params.size() ? line.params[at] : std::string();
            switch (signature.params[i].kind)
            {
            case K::NewObject: define(name, objects, dynamicObjects); break;
            case K::NewBuffer: define(name, buffers, dynamicBuffers); break;
            case K::NewBinding: define(name, bindings, dynamicBindings); break;
            case K::Shader:
                // The shaders an object may carry, for the uniforms set on it.
                if (dynamic(name) || dynamic(first))
                    dynamicShaders.insert(first);
                else
                    shadersOf[first].insert(name);
                break;
            case K::NewVariable:
                if (at >= line.params.size())
                    break;
                if (dynamic(name))
                    dynamicAliases = true;
                else
                    aliases.insert("$" + lowered(name));
                break;
            case K::AnimationFile:
            {
                // The file's animations belong to the object of parameter 0.
                if (at >= line.params.size() || !animationFiles)
                    break;
                std::string& sources = animationSources[first];
                sources += (sources.empty() ? "" : ", ") + name;
                if (const std::set<std::string>* names = animationFiles(name))
                    animationsOf[first].insert(names->begin(), names->end());
                else
                    animationsOf[first];
                break;
            }
            default: break;
            }
        }
    }
}

void ScriptChecker::checkLine(const Line& line)
{
    if (line.command == Script::LabelCommand)
        return;
    if (!line.info)
    {
        error(line, "unknown command " + quoted(line.command));
        return;
    }
    const Signature& signature = line.info->signature;
    const int needs = signature.needs;
    const int given = static_cast<int>(line.params.size());
    if (given < needs)
        error(line, quoted(line.command) + " needs " + std::to_string(needs) + " parameters, " + std::to_string(given) +
                        " given");
    const std::size_t count = static_cast<std::size_t>(signature.count);
    if (line.params.size() > count)
        warning(line, quoted(line.command) + " uses " + std::to_string(count) + " parameters; " +
                          quoted(line.params[count]) + " and any after it are ignored");
    for (std::size_t i = 0; i < line.params.size() && i < count; ++i)
    {
        currentParam = static_cast<int>(i);
        checkParam(line, i, signature.params[i].kind);
    }
    currentParam = -1;
}

bool ScriptChecker::checkConstants(const Line& line, std::size_t i)
{
    bool known = true;
    // A parameter holding "%" is lower-cased, then each constant in it is replaced.
    const std::string text = lowered(line.params[i]);
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1))
    {
        std::size_t end = at + 1;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
            ++end;
        const std::string name = text.substr(at, end - at);
        if (name.size() > 1 && !ScriptInterp::isConstant(name) && !GameCutscene::isConstant(name))
        {
            error(line, "unknown constant " + quoted(name) + " in parameter " + std::to_string(i + 1) + " of " +
                            quoted(line.command));
            known = false;
        }
    }
    return known;
}

void ScriptChecker::checkParam(const Line& line, std::size_t i, ParamKind kind)
{
    const std::string& text = line.params[i];
    const std::string what = quoted(line.command) + " parameter " + std::to_string(i + 1) + ": ";
    if (text.find('%') != std::string::npos && !checkConstants(line, i))
        return;
    if (kind == K::Uniform)
    {
        checkUniform(line, what, text);
        return;
    }
    if (kind == K::Variable || kind == K::NewVariable || kind == K::Text)
    {
        if ((kind == K::Variable || kind == K::NewVariable) && text.find('$') != std::string::npos)
            warning(line, what + "write the variable name without \"$\" (" + quoted(text) +
                              " is replaced by the variable's value)");
        // The player lower-cases a parameter holding "%" byte by byte, so only A to Z change.
        if (kind == K::Text && text.find('%') != std::string::npos &&
            std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            warning(line, what + quoted(text) + " holds \"%\", so the player lower-cases the whole text (" +
                              quoted(lowered(text)) + ")");
        return;
    }
    if (text.find('$') != std::string::npos)
    {
        // Only a whole "$name" that an alias defines has a value; anything else reads as "".
        if (!dynamicAliases && aliases.count(lowered(text)) == 0)
            error(line, what + "variable " + quoted(text) + " is not defined by any alias command");
        return;
    }
    switch (kind)
    {
    case K::Integer:
    case K::Flag:
    case K::Easing:
    case K::YoyoEasing:
    case K::Number:
        checkNumber(line, i, text.find('%') != std::string::npos ? resolveConstants(text) : text, kind);
        return;
    default: break;
    }
    if (text.find('%') != std::string::npos)
        return; // a name built from constants is only known at run time

    auto reference = [&](const std::set<std::string>& keys, const char* noun, const char* catalog) {
        if (keys.count(text) == 0 && index.cutShort.count(catalog) == 0)
            error(line, what + noun + " " + quoted(text) + " is not in " + catalog);
    };
    const std::string first = line.params[0];
    switch (kind)
    {
    case K::Song: reference(index.music, "song", DemoPaths::Music); break;
    case K::Texture: reference(index.textures, "texture", DemoPaths::Textures); break;
    case K::Shader: reference(index.shaders, "shader", DemoPaths::Shaders); break;
    case K::ParticleSystem: reference(index.particles, "particle system", DemoPaths::Particles); break;
    case K::TextSystem: reference(index.texts, "text system", DemoPaths::Texts); break;
    case K::Label:
        if (labels.count(text) == 0)
            error(line, what + "label " + quoted(text) + " is not defined");
        break;
    case K::ObjectOrBuffer:
        if (!dynamicObjects && !dynamicBuffers && objects.count(text) == 0 && buffers.count(text) == 0)
            error(line, what + "object " + quoted(text) + " is never created (" + commandTaking({K::NewObject}) +
                            " or " + commandTaking({K::NewBuffer}) + ")");
        break;
    case K::Object:
        if (dynamicObjects || objects.count(text) != 0)
            break;
        if (buffers.count(text) != 0)
            error(line, what + quoted(text) + " is a buffer, and " + line.command + " draws only objects (use " +
                            commandTaking({K::Buffer, K::Buffer}) + ")");
        else
            error(line, what + "object " + quoted(text) + " is never created (" + commandTaking({K::NewObject}) + ")");
        break;
    case K::Buffer:
        if (!dynamicBuffers && buffers.count(text) == 0)
            error(line, what + "buffer " + quoted(text) + " is never created (" + commandTaking({K::NewBuffer}) + ")");
        break;
    case K::Binding:
        if (!dynamicBindings && bindings.count(text) == 0)
            error(line, what + "particle binding " + quoted(text) + " is never made (" +
                            commandTaking({K::NewBinding}) + ")");
        break;
    case K::AnimationFile:
        if (animationFiles && !animationFiles(text))
            error(line, what + "animation file " + quoted(text) + " cannot be read");
        break;
    case K::Animation:
    {
        const auto loaded = animationsOf.find(first);
        if (dynamic(first) || !animationFiles)
            break;
        if (loaded == animationsOf.end())
            error(line, what + "object " + quoted(first) + " plays animation " + quoted(text) +
                            " but never loads an animation file (" +
                            commandTaking({K::ObjectOrBuffer, K::AnimationFile}) + ")");
        else if (loaded->second.count(text) == 0)
            error(line, what + "animation " + quoted(text) + " is not in " + animationSources[first]);
        break;
    }
    default: break;
    }
}

// The readers' rules: leading white space, then as much of a number as there is.
void ScriptChecker::checkNumber(const Line& line, std::size_t i, const std::string& text, ParamKind kind)
{
    const std::string what = quoted(line.command) + " parameter " + std::to_string(i + 1) + ": ";
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (kind == K::Number)
    {
        // Only where the reading stops and whether it overflowed matter here.
        std::strtof(begin, &end);
        if (end == begin)
            error(line, what + quoted(text) + " is not a number");
        else if (errno == ERANGE)
            error(line, what + quoted(text) + " is out of range and reads as 0");
        else if (*end != '\0')
            warning(line, what + "only " + quoted(std::string(begin, static_cast<const char*>(end))) + " of " +
                              quoted(text) + " is read");
        return;
    }
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin)
    {
        error(line, what + quoted(text) + " is not a whole number");
        return;
    }
    if (errno == ERANGE || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    {
        error(line, what + quoted(text) + " is out of range and reads as 0");
        return;
    }
    if (*end != '\0')
        warning(line, what + "only " + quoted(std::string(begin, static_cast<const char*>(end))) + " of " +
                          quoted(text) + " is read");
    // The flag index of the command that names a flag is an alias index.
    const bool names = line.info && paramOf(line.info->signature, K::NewVariable) >= 0;
    const bool knownEasing = findEasing(static_cast<EasingType>(value)) != nullptr;
    if (kind == K::Flag && (value < 0 || value >= GameEntity::FlagCount))
        error(line, what + (names ? "alias" : "flag") + " index " + std::to_string(value) + " is outside 0.." +
                        std::to_string(GameEntity::FlagCount - 1));
    else if ((kind == K::Easing && !knownEasing) || (kind == K::YoyoEasing && value != -1 && !knownEasing))
        warning(line, what + "easing " + std::to_string(value) + " is not a known curve (" + easingNumbers() + ")");
}

void ScriptChecker::checkBlocks()
{
    std::vector<const Line*> open;
    for (const Line& line : lines)
    {
        const int change = ScriptInterp::blockChange(line.command);
        if (change > 0)
            open.push_back(&line);
        else if (change < 0)
        {
            if (open.empty())
                warning(line, quoted(line.command) + " without an open " + quoted(opener()) + " does nothing");
            else
                open.pop_back();
        }
    }
    for (const Line* line : open)
        error(*line, quoted(line->command) + " has no matching " + quoted(closer()));
}

void ScriptChecker::checkSections()
{
    const struct
    {
        const char* name;
        const char* when;
    } sections[] = {{Script::InitSection, " once at the start"}, {Script::RenderSection, " every frame"}};
    for (const auto& section : sections)
        if (labels.count(section.name) == 0)
            diagnostics.error(path, 0, 0,
                              std::string("no \"") + section.name +
                                  "\" section: the player runs label :" + section.name + section.when);
}

void ScriptChecker::checkFlow(const Script& script)
{
    for (const Line& line : lines)
    {
        // A label line keeps what follows the colon untrimmed, so ": middle" names " middle".
        if (line.command != Script::LabelCommand || line.params.empty())
            continue;
        const std::string& name = line.params[0];
        if (name.empty())
            warning(line, "a label with an empty name: write the name right after the colon (\":name\")");
        else if (std::isspace(static_cast<unsigned char>(name[0])))
            warning(line, "label " + quoted(name) + " starts with a space, so \"goto " +
                              name.substr(name.find_first_not_of(" \t\n\v\f\r")) +
                              "\" does not reach it: write the name right after the colon");
    }
    const ScriptFlow flow(script);
    for (const char* section : {Script::InitSection, Script::RenderSection})
    {
        int labelLine = 0;
        if (flow.runsIntoDefinition(section, labelLine))
            warning(lines[static_cast<std::size_t>(labelLine)],
                    std::string("the main flow runs into the \"") + section +
                        "\" section here: end the main flow with exit (or a goto) before the section's label");
    }
    // The player enters these two sections by name; everything else hangs off them or the main flow.
    for (int at : flow.unreachedLabels({"init", "render"}))
    {
        const Line& line = lines[static_cast<std::size_t>(at)];
        warning(line, "label " + quoted(line.params.empty() ? std::string() : line.params[0]) +
                          " is never reached: no jump that can run leads to it, and no line runs on into it");
    }
    for (int line : flow.endlessLoops())
        warning(lines[static_cast<std::size_t>(line)],
                "this loop has no delay and no way out: it runs " + std::to_string(ScriptInterp::MaxLinesPerRun) +
                    " lines in every step and the demo stands still (add a delay inside the loop)");
}

void ScriptChecker::checkEncoding(const std::string& text)
{
    int fileLine = 1;
    for (std::size_t start = 0; start <= text.size();)
    {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::size_t bad = Utf8::invalidAt(std::string_view(text).substr(start, end - start));
        if (bad != std::string::npos)
        {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[start + bad]));
            diagnostics.warning(path, fileLine, static_cast<int>(bad) + 1,
                                std::string("not valid UTF-8 (byte ") + byte +
                                    "): the player shows broken letters here; save the file as UTF-8");
        }
        ++fileLine;
        start = end + 1;
    }
}

void ScriptChecker::checkUniform(const Line& line, const std::string& what, const std::string& uniform)
{
    const std::string& object = line.params[0];
    if (dynamic(object) || dynamic(uniform) || dynamicShaders.count(object) != 0)
        return;
    const auto shaders = shadersOf.find(object);
    if (shaders == shadersOf.end())
    {
        warning(line, what + "object " + quoted(object) + " never gets a shader (" +
                          commandTaking({K::ObjectOrBuffer, K::Shader}) + "), so uniform " + quoted(uniform) +
                          " changes nothing");
        return;
    }
    // The uniform must be declared by at least one shader the object may carry.
    std::string missing;
    for (const std::string& shader : shaders->second)
    {
        const auto declared = index.uniforms.find(shader);
        if (declared == index.uniforms.end() || declared->second.count(uniform) != 0)
            return;
        missing += (missing.empty() ? "shader " : ", nor shader ") + quoted(shader) +
                   CatalogChecker::declaredList(declared->second);
    }
    error(line,
          what + "uniform " + quoted(uniform) + " is not declared by " + missing + ", so setting it does nothing");
}
