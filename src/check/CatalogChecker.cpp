#include "check/CatalogChecker.hpp"

#include <cmath>
#include <limits>

namespace
{
using nlohmann::json;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

const char* typeName(const json& value)
{
    return value.type_name();
}

// The members of a catalog's top-level value, keyed as the player keys them.
std::vector<std::pair<std::string, const json*>> members(const json& value)
{
    std::vector<std::pair<std::string, const json*>> result;
    if (value.is_object())
        for (const auto& member : value.items())
            result.emplace_back(member.key(), &member.value());
    else if (value.is_array())
        for (std::size_t i = 0; i < value.size(); ++i)
            result.emplace_back(std::to_string(i), &value[i]);
    return result;
}

bool isNumber(const json& value)
{
    return value.is_number() || value.is_boolean();
}

// A number as the catalogs read it (a boolean is 0 or 1); `fallback` for anything else.
double numberOr(const json& value, double fallback)
{
    if (value.is_boolean())
        return value.get<bool>() ? 1.0 : 0.0;
    return value.is_number() ? value.get<double>() : fallback;
}
// Why the player refuses a number of the right type (its readers throw, and the entry is
// skipped), or nullptr. Compared in double, so that no out-of-range value is ever converted.
const char* rangeProblem(const json& value, bool integer)
{
    if (!value.is_number())
        return nullptr;
    const double number = value.get<double>();
    if (integer)
        return number > -2147483649.0 && number < 2147483648.0 ? nullptr : "the 32-bit range";
    return std::fabs(number) <= static_cast<double>(std::numeric_limits<float>::max()) ? nullptr : "the float range";
}
} // namespace

bool CatalogChecker::checkRules(const JsonSource& source, const std::string& what, const json& object,
                                const std::string& where, const std::vector<Rule>& rules)
{
    bool usable = true;
    for (const Rule& rule : rules)
    {
        const std::string keyWhere = where + "/" + rule.key;
        if (!object.contains(rule.key))
        {
            if (rule.required)
            {
                source.error(where, what + "missing key " + quoted(rule.key));
                usable = false;
            }
            continue;
        }
        const json& value = object.at(rule.key);
        const char* wanted = nullptr;
        switch (rule.type)
        {
        case Type::String: wanted = value.is_string() ? nullptr : "a string"; break;
        case Type::Number:
        case Type::Integer: wanted = isNumber(value) ? nullptr : "a number"; break;
        case Type::StrictNumber: wanted = value.is_number() ? nullptr : "a number (not a boolean)"; break;
        case Type::Boolean: wanted = value.is_boolean() ? nullptr : "a boolean"; break;
        case Type::Object: wanted = value.is_object() ? nullptr : "an object"; break;
        case Type::Array: wanted = value.is_array() ? nullptr : "an array"; break;
        case Type::Any: break;
        }
        if (wanted)
        {
            source.error(keyWhere, what + quoted(rule.key) + " must be " + wanted + ", not " + typeName(value));
            usable = usable && !rule.required;
        }
        else if (const char* range = rangeProblem(value, rule.type == Type::Integer))
        {
            source.error(keyWhere, what + quoted(rule.key) + " " + value.dump() + " is out of " + range +
                                       ", so the player skips this entry");
            usable = false;
        }
    }
    for (const auto& member : object.items())
    {
        bool known = false;
        for (const Rule& rule : rules)
            known = known || member.key() == rule.key;
        if (!known)
            source.warning(where + "/" + member.key(), what + "unknown key " + quoted(member.key()) + " is ignored");
    }
    return usable;
}

void CatalogChecker::checkCatalog(const std::string& path, const std::string& text, const char* topLevelKey,
                                  const char* noun, const std::vector<Rule>& rules, std::set<std::string>& keys,
                                  const EntryCheck& entryCheck)
{
    const JsonSource source(path, text, diagnostics);
    const json& document = source.document;
    if (!document.is_object() || !document.contains(topLevelKey))
    {
        // After a syntax error the missing key is only its consequence.
        if (!source.syntaxError)
            source.error("", "missing top-level key " + quoted(topLevelKey) + "; nothing in this file is loaded");
        return;
    }
    const json& all = document.at(topLevelKey);
    const std::string top = std::string("/") + topLevelKey;
    if (!all.is_object() && !all.is_array() && !all.is_null())
        source.error(top, quoted(topLevelKey) + " must be an object, not " + typeName(all));
    for (const auto& member : members(all))
    {
        const std::string& key = member.first;
        const json& entry = *member.second;
        const std::string where = top + "/" + key;
        const std::string what = std::string(noun) + " " + quoted(key) + ": ";
        if (!entry.is_object())
        {
            // A cut-off entry after a syntax error is already explained.
            if (!source.syntaxError)
                source.error(where, what + "the entry must be an object, not " + typeName(entry));
            continue;
        }
        keys.insert(key);
        if (source.syntaxError)
            continue;
        if (checkRules(source, what, entry, where, rules) && entryCheck)
            entryCheck(source, key, entry, where);
    }
}

void CatalogChecker::checkFile(const JsonSource& source, const std::string& where, const std::string& what,
                               const std::string& file, FileKind kind)
{
    if (!probe)
        return;
    const std::string reason = probe(file, kind);
    if (!reason.empty())
        source.error(where, what + reason);
}

void CatalogChecker::checkReference(const JsonSource& source, const std::string& where, const std::string& what,
                                    const std::set<std::string>& keys, const std::string& key, const char* noun,
                                    const char* catalog)
{
    if (keys.count(key) == 0)
        source.error(where, what + noun + " " + quoted(key) + " is not in " + catalog);
}

void CatalogChecker::checkConfig(const std::string& path, const std::string& text)
{
    const JsonSource source(path, text, diagnostics);
    if (source.syntaxError)
        return;
    if (!source.document.is_object())
    {
        source.warning("", std::string("the configuration is ") + typeName(source.document) +
                               ", not an object; every key keeps its default");
        return;
    }
    checkRules(source, "", source.document, "",
               {{"fullscreen", Type::Boolean, false},
                {"music", Type::Boolean, false},
                {"vsync", Type::Boolean, false},
                {"title", Type::String, false}});
}

void CatalogChecker::checkTextures(const std::string& path, const std::string& text)
{
    checkCatalog(path, text, "textures", "texture", {{"file", Type::String, true}, {"repeated", Type::Boolean, false}},
                 index.textures,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     checkFile(source, where + "/file", "texture " + quoted(key) + ": ", entry.at("file"),
                               FileKind::Image);
                 });
}

void CatalogChecker::checkSprites(const std::string& path, const std::string& text)
{
    checkCatalog(path, text, "sprites", "sprite",
                 {{"texture", Type::String, true},
                  {"originX", Type::Number, false},
                  {"originY", Type::Number, false},
                  {"rectX", Type::Integer, false},
                  {"rectY", Type::Integer, false},
                  {"rectW", Type::Integer, false},
                  {"rectH", Type::Integer, false}},
                 index.sprites,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "sprite " + quoted(key) + ": ";
                     checkReference(source, where + "/texture", what, index.textures, entry.at("texture"), "texture",
                                    "assets/textures.json");
                     // Truncated toward zero, as the player reads it: empty when |size| < 1.
                     auto empty = [&entry](const char* name) {
                         const double size = entry.contains(name) ? numberOr(entry.at(name), 1.0) : 0.0;
                         return size > -1.0 && size < 1.0;
                     };
                     if (empty("rectW") || empty("rectH"))
                         source.warning(
                             where, what + "the rectangle is empty (rectW or rectH 0), so the sprite draws nothing");
                 });
}

void CatalogChecker::checkShaders(const std::string& path, const std::string& text)
{
    checkCatalog(
        path, text, "shaders", "shader",
        {{"fragment", Type::String, true}, {"texture", Type::String, false}, {"uniforms", Type::Object, false}},
        index.shaders,
        [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
            const std::string what = "shader " + quoted(key) + ": ";
            const json texture = entry.value("texture", json(""));
            if (texture.is_string() && !texture.get<std::string>().empty())
                checkReference(source, where + "/texture", what, index.textures, texture, "texture",
                               "assets/textures.json");
            if (entry.contains("uniforms"))
                for (const auto& uniform : entry.at("uniforms").items())
                {
                    const std::string uniformWhere = where + "/uniforms/" + uniform.key();
                    if (!isNumber(uniform.value()))
                        source.error(uniformWhere, what + "uniform " + quoted(uniform.key()) + " must be a number, not " +
                                                       typeName(uniform.value()));
                    else if (const char* range = rangeProblem(uniform.value(), false))
                        source.error(uniformWhere, what + "uniform " + quoted(uniform.key()) + " " +
                                                       uniform.value().dump() + " is out of " + range +
                                                       ", so the player skips this entry");
                }
            index.fragments.emplace_back(key, entry.at("fragment"));
            checkFile(source, where + "/fragment", what, entry.at("fragment"), FileKind::Fragment);
        });
}

void CatalogChecker::checkMusic(const std::string& path, const std::string& text)
{
    checkCatalog(path, text, "music", "song",
                 {{"file", Type::String, true}, {"volume", Type::Integer, false}, {"loopTo", Type::StrictNumber, false}},
                 index.music,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "song " + quoted(key) + ": ";
                     if (entry.contains("volume"))
                     {
                         const double volume = numberOr(entry.at("volume"), 0.0);
                         if (volume < 0.0 || volume > 100.0)
                             source.warning(where + "/volume", what + "the volume lies outside 0..100");
                     }
                     checkFile(source, where + "/file", what, entry.at("file"), FileKind::Sound);
                 });
}

void CatalogChecker::checkParticles(const std::string& path, const std::string& text)
{
    checkCatalog(path, text, "particlesystems", "particle system",
                 {{"file", Type::String, true}, {"instances", Type::Integer, false}}, index.particles,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "particle system " + quoted(key) + ": ";
                     if (entry.contains("instances") && numberOr(entry.at("instances"), 0.0) < 0.0)
                         source.error(where + "/instances", what + "\"instances\" must not be negative");
                     const std::string file = entry.at("file");
                     const std::size_t errorsBefore = static_cast<std::size_t>(diagnostics.errors());
                     checkFile(source, where + "/file", what, file, FileKind::Text);
                     if (static_cast<std::size_t>(diagnostics.errors()) == errorsBefore)
                         index.particleFiles.emplace_back(key, file);
                 });
}

void CatalogChecker::checkParticleFile(const std::string& path, const std::string& text)
{
    const JsonSource source(path, text, diagnostics);
    if (source.syntaxError)
        return;
    if (!source.document.is_object())
    {
        source.error("", std::string("a particle system must be an object, not ") + typeName(source.document));
        return;
    }
    std::vector<Rule> rules = {{"name", Type::Any, true}, {"sprites", Type::Array, true}};
    for (const char* key :
         {"min_xs", "max_xs", "min_ys", "max_ys", "min_xg", "max_xg", "min_yg", "max_yg", "min_rot", "max_rot",
          "min_rotspeed", "max_rotspeed", "min_scale", "max_scale", "min_scalespeed", "max_scalespeed"})
        rules.push_back({key, Type::Number, true});
    rules.push_back({"fadein", Type::Boolean, true});
    rules.push_back({"fadeout", Type::Boolean, true});
    for (const char* key : {"min_fadespeed", "max_fadespeed", "min_ttl", "max_ttl"})
        rules.push_back({key, Type::Number, true});
    for (const char* key : {"min_x", "max_x", "min_y", "max_y", "spawn_rate"})
        rules.push_back({key, Type::Number, false});

    checkRules(source, "", source.document, "", rules);
    if (!source.document.contains("sprites") || !source.document.at("sprites").is_array())
        return;
    const json& sprites = source.document.at("sprites");
    if (sprites.empty())
        source.error("/sprites", "\"sprites\" is empty: the particles have nothing to draw");
    for (std::size_t i = 0; i < sprites.size(); ++i)
    {
        const std::string where = "/sprites/" + std::to_string(i);
        if (!sprites[i].is_string())
            source.error(where, std::string("a sprite key must be a string, not ") + typeName(sprites[i]));
        else
            checkReference(source, where, "", index.sprites, sprites[i], "sprite", "assets/sprites.json");
    }
}

void CatalogChecker::checkTexts(const std::string& path, const std::string& text)
{
    std::vector<Rule> rules = {{"font", Type::String, true}, {"size", Type::Number, true}};
    for (const char* key : {"fillcolor_r", "fillcolor_g", "fillcolor_b", "outlinecolor_r", "outlinecolor_g",
                            "outlinecolor_b", "outlinecolor_width", "ease_in", "ease_out", "num_particles_in",
                            "num_particles_out", "num_instances"})
        rules.push_back({key, Type::Integer, false});
    for (const char* key : {"duration", "delay", "letterdelay", "worddelay", "fade_duration", "x_in", "y_in", "x_out",
                            "y_out", "rotate_in", "rotate_out", "scale_in", "scale_out", "tween_duration_in",
                            "tween_duration_out", "particles_duration_out"})
        rules.push_back({key, Type::Number, false});
    for (const char* key : {"fade_in", "fade_out"})
        rules.push_back({key, Type::Boolean, false});
    for (const char* key : {"particles_in", "particles_out"})
        rules.push_back({key, Type::String, false});

    checkCatalog(path, text, "textsystems", "text system", rules, index.texts,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "text system " + quoted(key) + ": ";
                     // The player's own limits on a character size and an outline.
                     const double size = numberOr(entry.at("size"), 0.0);
                     if (!(size > -1.0 && size < 2049.0))
                         source.error(where + "/size", what + "\"size\" " + entry.at("size").dump() +
                                                           " is out of the range of 0 to 2048 pixels, so the player "
                                                           "skips this entry");
                     const double outline = numberOr(entry.value("outlinecolor_width", json(0)), 0.0);
                     if (!(outline > -257.0 && outline < 257.0))
                         source.error(where + "/outlinecolor_width",
                                      what + "\"outlinecolor_width\" " + entry.at("outlinecolor_width").dump() +
                                          " is out of the range of -256 to 256 pixels, so the player skips this entry");
                     for (const char* burst : {"particles_in", "particles_out"})
                     {
                         const json value = entry.value(burst, json(""));
                         if (value.is_string() && !value.get<std::string>().empty())
                             checkReference(source, where + "/" + burst, what, index.particles, value,
                                            "particle system", "assets/particles.json");
                     }
                     checkFile(source, where + "/font", what, entry.at("font"), FileKind::Font);
                 });
}

std::set<std::string> CatalogChecker::checkAnimationFile(const std::string& path, const std::string& text)
{
    std::set<std::string> names;
    const JsonSource source(path, text, diagnostics);
    const json& document = source.document;
    if (!document.is_object() || !document.contains("animations"))
    {
        if (!source.syntaxError)
            source.error("", "missing top-level key \"animations\"; nothing in this file is loaded");
        return names;
    }
    for (const auto& member : members(document.at("animations")))
    {
        const std::string& name = member.first;
        const json& animation = *member.second;
        names.insert(name);
        if (source.syntaxError)
            continue;
        const std::string where = "/animations/" + name;
        const std::string what = "animation " + quoted(name) + ": ";
        if (!animation.is_object())
        {
            source.error(where, what + "must be an object, not " + typeName(animation));
            continue;
        }
        if (!checkRules(source, what, animation, where, {{"loop", Type::Boolean, true}, {"frames", Type::Any, false}}))
            continue;
        const json frames = animation.value("frames", json());
        if (!frames.is_array() && !frames.is_object() && !frames.is_null())
        {
            source.error(where + "/frames", what + "\"frames\" must be an array, not " + typeName(frames));
            continue;
        }
        double total = 0.0;
        bool framesValid = true;
        for (const auto& frame : members(frames))
        {
            const std::string frameWhere = where + "/frames/" + frame.first;
            const std::string frameWhat = what + "frame " + frame.first + ": ";
            if (!frame.second->is_object())
            {
                source.error(frameWhere, frameWhat + "must be an object, not " + typeName(*frame.second));
                framesValid = false;
                continue;
            }
            if (checkRules(source, frameWhat, *frame.second, frameWhere,
                           {{"x", Type::Integer, true},
                            {"y", Type::Integer, true},
                            {"w", Type::Integer, true},
                            {"h", Type::Integer, true},
                            {"d", Type::Number, true}}))
                total += numberOr(frame.second->at("d"), 0.0);
            else
                framesValid = false;
        }
        if (frames.empty())
            source.warning(where, what + "has no frames");
        else if (framesValid && animation.at("loop").get<bool>() && total <= 0.0)
            source.warning(where, what + "loops over frames whose durations add up to 0");
    }
    return names;
}
