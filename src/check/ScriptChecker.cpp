#include "check/ScriptChecker.hpp"

#include "cutscene/CutsceneCommands.hpp"
#include "cutscene/GameCutscene.hpp"
#include "script/Script.hpp"
#include "script/ScriptFlow.hpp"
#include "check/Utf8.hpp"
#include "script/ScriptInterp.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace
{
struct Signature
{
    const char* command;
    const char* params;
};

// One letter per parameter, in order:
//   i integer      f number       e easing      E yoyo easing (-1: the forward curve)
//   F flag index   v variable name              x free text   u uniform name   l label
//   m song         t texture      s shader      P particle-catalog key         T text system
//   n new object   N new buffer   k new particle binding
//   o object or buffer            O object      B buffer      p particle binding
//   a animation file              A animation name of parameter 0's object
const Signature Signatures[] = {
    {"play_music", "m"},
    {"pause_music", ""},
    {"resume_music", ""},
    {"fade_out_music", "f"},
    {"set_flag", "Fi"},
    {"add_flag", "Fi"},
    {"sub_flag", "Fi"},
    {"mul_flag", "Fi"},
    {"div_flag", "Fi"},
    {"set_var", "vi"},
    {"add_var", "vi"},
    {"sub_var", "vi"},
    {"mul_var", "vi"},
    {"div_var", "vi"},
    {"delay", "f"},
    {"goto", "l"},
    {"gosub", "l"},
    {"reset_script", ""},
    {"return", ""},
    {"exit", ""},
    {"alias", "Fv"},
    {"log", "x"},
    {"if", "ii"},
    {"if_not", "ii"},
    {"if_less", "ii"},
    {"if_more", "ii"},
    {"_label", "x"},
    {"endif", ""},

    {"create_object", "ntffffff"},
    {"add_particles", "kP"},
    {"particles_set_active", "pi"},
    {"fade_in", "f"},
    {"fade_out", "f"},
    {"set_fade_texture", "t"},
    {"create_buffer", "N"},
    {"clear_buffer", "B"},
    {"draw_object", "BO"},
    {"draw_particles", "Bp"},
    {"draw_buffer", "BB"},
    {"display_buffer", "B"},
    {"render_scene", "B"},
    {"object_set_x", "of"},
    {"object_set_y", "of"},
    {"object_set_pos", "off"},
    {"object_set_alpha", "of"},
    {"object_set_rotation", "of"},
    {"object_set_scale", "of"},
    {"object_set_scale_x", "of"},
    {"object_set_scale_y", "of"},
    {"object_set_origin_x", "of"},
    {"object_set_origin_y", "of"},
    {"object_set_rect_x", "of"},
    {"object_set_rect_y", "of"},
    {"object_set_rect_w", "of"},
    {"object_set_rect_h", "of"},
    {"object_set_uniform", "ouf"},
    {"object_tween_x", "offeiiE"},
    {"object_tween_y", "offeiiE"},
    {"object_tween_pos", "offfeiiE"},
    {"object_tween_alpha", "offeiiE"},
    {"object_tween_rotation", "offeiiE"},
    {"object_tween_scale_x", "offeiiE"},
    {"object_tween_scale_y", "offeiiE"},
    {"object_tween_scale", "offeiiE"},
    {"object_tween_origin", "offeiiE"},
    {"object_tween_origin_x", "offeiiE"},
    {"object_tween_origin_y", "offeiiE"},
    {"object_tween_rect_x", "offeiiE"},
    {"object_tween_rect_y", "offeiiE"},
    {"object_tween_rect_w", "offeiiE"},
    {"object_tween_rect_h", "offeiiE"},
    {"object_tween_uniform", "oufffeiiE"},
    {"object_set_shader", "os"},
    {"object_load_animations", "oa"},
    {"object_play_animation", "oA"},
    {"display_text", "Txffff"},
    {"draw_text", "xx"},
};

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

bool knownEasing(long value)
{
    return (value >= 0 && value <= 16) || value == 111 || value == 112;
}

// Resolves constants as the player does, with every flag at 0, to read a number out of them.
std::string resolveConstants(const std::string& text)
{
    static ScriptInterp resolver;
    resolver.entity = &GameCutscene::instance();
    return resolver.resolveParam(text);
}
} // namespace

const char* ScriptChecker::signature(const std::string& command)
{
    for (const Signature& row : Signatures)
        if (command == row.command)
            return row.params;
    return nullptr;
}

void ScriptChecker::error(const Line& line, const std::string& text)
{
    diagnostics.error(path, line.fileLine, 0, text);
}

void ScriptChecker::warning(const Line& line, const std::string& text)
{
    diagnostics.warning(path, line.fileLine, 0, text);
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
        lines.push_back({script.fileLines[i], script.lines[i].command, script.lines[i].params});

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
        if (line.command == "_label")
        {
            const auto defined = labels.emplace(first, line.fileLine);
            if (!defined.second)
                error(line, "label " + quoted(first) + " is defined again (first at line " +
                                std::to_string(defined.first->second) + "); jumps go to this last one");
        }
        else if (line.command == "create_object")
            define(first, objects, dynamicObjects);
        else if (line.command == "create_buffer")
            define(first, buffers, dynamicBuffers);
        else if (line.command == "add_particles")
            define(first, bindings, dynamicBindings);
        else if (line.command == "alias" && line.params.size() > 1)
        {
            if (dynamic(line.params[1]))
                dynamicAliases = true;
            else
                aliases.insert("$" + lowered(line.params[1]));
        }
        else if (line.command == "object_load_animations" && line.params.size() > 1 && animationFiles)
        {
            std::string& sources = animationSources[first];
            sources += (sources.empty() ? "" : ", ") + line.params[1];
            if (const std::set<std::string>* names = animationFiles(line.params[1]))
                animationsOf[first].insert(names->begin(), names->end());
            else
                animationsOf[first];
        }
    }
}

void ScriptChecker::checkLine(const Line& line)
{
    if (line.command == "_label")
        return;
    // The interpreter's own commands come first, exactly as it dispatches.
    int needs = 0;
    if (!ScriptInterp::builtinCommand(line.command, needs))
    {
        const CutsceneCommands::Row* row = CutsceneCommands::find(line.command);
        if (!row)
        {
            error(line, "unknown command " + quoted(line.command));
            return;
        }
        needs = row->needs;
    }
    const int given = static_cast<int>(line.params.size());
    if (given < needs)
        error(line, quoted(line.command) + " needs " + std::to_string(needs) + " parameters, " + std::to_string(given) +
                        " given");
    const std::string kinds = signature(line.command) ? signature(line.command) : "";
    if (line.params.size() > kinds.size())
        warning(line, quoted(line.command) + " uses " + std::to_string(kinds.size()) + " parameters; " +
                          quoted(line.params[kinds.size()]) + " and any after it are ignored");
    for (std::size_t i = 0; i < line.params.size() && i < kinds.size(); ++i)
        checkParam(line, i, kinds[i]);
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

void ScriptChecker::checkParam(const Line& line, std::size_t i, char kind)
{
    const std::string& text = line.params[i];
    const std::string what = quoted(line.command) + " parameter " + std::to_string(i + 1) + ": ";
    if (text.find('%') != std::string::npos && !checkConstants(line, i))
        return;
    if (kind == 'v' || kind == 'x' || kind == 'u')
    {
        if (kind == 'v' && text.find('$') != std::string::npos)
            warning(line, what + "write the variable name without \"$\" (" + quoted(text) +
                              " is replaced by the variable's value)");
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
    case 'i':
    case 'F':
    case 'e':
    case 'E':
    case 'f': checkNumber(line, i, text.find('%') != std::string::npos ? resolveConstants(text) : text, kind); return;
    default: break;
    }
    if (text.find('%') != std::string::npos)
        return; // a name built from constants is only known at run time

    auto reference = [&](const std::set<std::string>& keys, const char* noun, const char* catalog) {
        if (keys.count(text) == 0)
            error(line, what + noun + " " + quoted(text) + " is not in " + catalog);
    };
    const std::string first = line.params[0];
    switch (kind)
    {
    case 'm': reference(index.music, "song", "assets/music.json"); break;
    case 't': reference(index.textures, "texture", "assets/textures.json"); break;
    case 's': reference(index.shaders, "shader", "assets/shaders.json"); break;
    case 'P': reference(index.particles, "particle system", "assets/particles.json"); break;
    case 'T': reference(index.texts, "text system", "assets/text.json"); break;
    case 'l':
        if (labels.count(text) == 0)
            error(line, what + "label " + quoted(text) + " is not defined");
        break;
    case 'o':
        if (!dynamicObjects && !dynamicBuffers && objects.count(text) == 0 && buffers.count(text) == 0)
            error(line, what + "object " + quoted(text) + " is never created (create_object or create_buffer)");
        break;
    case 'O':
        if (dynamicObjects || objects.count(text) != 0)
            break;
        if (buffers.count(text) != 0)
            error(line, what + quoted(text) + " is a buffer, and draw_object draws only objects (use draw_buffer)");
        else
            error(line, what + "object " + quoted(text) + " is never created (create_object)");
        break;
    case 'B':
        if (!dynamicBuffers && buffers.count(text) == 0)
            error(line, what + "buffer " + quoted(text) + " is never created (create_buffer)");
        break;
    case 'p':
        if (!dynamicBindings && bindings.count(text) == 0)
            error(line, what + "particle binding " + quoted(text) + " is never made (add_particles)");
        break;
    case 'a':
        if (animationFiles && !animationFiles(text))
            error(line, what + "animation file " + quoted(text) + " cannot be read");
        break;
    case 'A':
    {
        const auto loaded = animationsOf.find(first);
        if (dynamic(first) || !animationFiles)
            break;
        if (loaded == animationsOf.end())
            error(line, what + "object " + quoted(first) + " plays animation " + quoted(text) +
                            " but never loads an animation file (object_load_animations)");
        else if (loaded->second.count(text) == 0)
            error(line, what + "animation " + quoted(text) + " is not in " + animationSources[first]);
        break;
    }
    default: break;
    }
}

// The readers' rules: leading white space, then as much of a number as there is.
void ScriptChecker::checkNumber(const Line& line, std::size_t i, const std::string& text, char kind)
{
    const std::string what = quoted(line.command) + " parameter " + std::to_string(i + 1) + ": ";
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (kind == 'f')
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
    if (kind == 'F' && (value < 0 || value >= GameEntity::FlagCount))
        error(line, what + (line.command == "alias" ? "alias" : "flag") + " index " + std::to_string(value) +
                        " is outside 0.." + std::to_string(GameEntity::FlagCount - 1));
    else if ((kind == 'e' && !knownEasing(static_cast<long>(value))) ||
             (kind == 'E' && value != -1 && !knownEasing(static_cast<long>(value))))
        warning(line, what + "easing " + std::to_string(value) + " is not a known curve (0..16, 111, 112)");
}

void ScriptChecker::checkBlocks()
{
    std::vector<const Line*> open;
    for (const Line& line : lines)
    {
        if (ScriptInterp::opensBlock(line.command))
            open.push_back(&line);
        else if (line.command == "endif")
        {
            if (open.empty())
                warning(line, "\"endif\" without an open \"if\" does nothing");
            else
                open.pop_back();
        }
    }
    for (const Line* line : open)
        error(*line, quoted(line->command) + " has no matching \"endif\"");
}

void ScriptChecker::checkSections()
{
    for (const char* section : {"init", "render"})
        if (labels.count(section) == 0)
            diagnostics.error(path, 0, 0,
                              std::string("no \"") + section + "\" section: the player runs label :" + section +
                                  (std::string(section) == "init" ? " once at the start" : " every frame"));
}

void ScriptChecker::checkFlow(const Script& script)
{
    for (const Line& line : lines)
    {
        // A label line keeps what follows the colon untrimmed, so ": middle" names " middle".
        if (line.command != "_label" || line.params.empty())
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
    for (const char* section : {"init", "render"})
    {
        int labelLine = 0;
        if (flow.runsIntoDefinition(section, labelLine))
            warning(lines[static_cast<std::size_t>(labelLine)],
                    std::string("the main flow runs into the \"") + section +
                        "\" section here: end the main flow with exit (or a goto) before the section's label");
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
        const std::size_t bad = Utf8::invalidAt(text.substr(start, end - start));
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
