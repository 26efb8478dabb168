#include "check/CatalogChecker.hpp"

#include "check/ShaderSource.hpp"

#include <algorithm>
#include <regex>

#include "catalogs/DemoConfig.hpp"
#include "catalogs/DemoPaths.hpp"
#include "catalogs/MusicManager.hpp"
#include "catalogs/ShaderManager.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/ParticleSystem.hpp"
#include "effects/TextStyle.hpp"
#include "scene/AnimationCollection.hpp"

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

bool CatalogChecker::checkKeys(const JsonSource& source, const std::string& what, const json& object,
                               const std::string& where, const JsonFormat& format)
{
    bool usable = true;
    for (const JsonKey& rule : format)
    {
        const std::string keyWhere = where + "/" + rule.name;
        if (!object.contains(rule.name))
        {
            if (rule.required)
            {
                source.error(where, what + "missing key " + quoted(rule.name));
                usable = false;
            }
            continue;
        }
        const json& value = object.at(rule.name);
        const char* wanted = nullptr;
        switch (rule.type)
        {
        case JsonType::String: wanted = value.is_string() ? nullptr : "a string"; break;
        case JsonType::Number:
        case JsonType::Integer: wanted = isNumber(value) ? nullptr : "a number"; break;
        case JsonType::StrictNumber: wanted = value.is_number() ? nullptr : "a number (not a boolean)"; break;
        case JsonType::Boolean: wanted = value.is_boolean() ? nullptr : "a boolean"; break;
        case JsonType::Object: wanted = value.is_object() ? nullptr : "an object"; break;
        case JsonType::Array: wanted = value.is_array() ? nullptr : "an array"; break;
        case JsonType::Any: break;
        }
        if (wanted)
        {
            source.error(keyWhere, what + quoted(rule.name) + " must be " + wanted + ", not " + typeName(value));
            usable = usable && !rule.required;
        }
        else if (const char* range = rangeProblem(value, rule.type == JsonType::Integer))
        {
            source.error(keyWhere, what + quoted(rule.name) + " " + value.dump() + " is out of " + range +
                                       ", so the player skips this entry");
            usable = false;
        }
    }
    for (const auto& member : object.items())
    {
        bool known = false;
        for (const JsonKey& rule : format)
            known = known || member.key() == rule.name;
        if (!known)
            source.warning(where + "/" + member.key(), what + "unknown key " + quoted(member.key()) + " is ignored");
    }
    // The player's own limits, on values of the right type.
    for (const JsonKey& rule : format)
    {
        if (!usable || !rule.range || !object.contains(rule.name) || !isNumber(object.at(rule.name)))
            continue;
        const json& value = object.at(rule.name);
        if (!inRange(numberOr(value, 0.0), *rule.range))
            source.error(where + "/" + rule.name, what + quoted(rule.name) + " " + value.dump() + " is out of the " +
                                                      rangeText(*rule.range) + ", so the player skips this entry");
    }
    return usable;
}

void CatalogChecker::checkCatalog(const std::string& path, const std::string& text, const JsonFormat& format,
                                  const char* noun, std::set<std::string>& keys, const EntryCheck& entryCheck)
{
    const char* topLevelKey = format.topLevel;
    const JsonSource source(path, text, diagnostics);
    const json& document = source.document;
    if (source.syntaxError)
        index.cutShort.insert(path);
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
        if (checkKeys(source, what, entry, where, format) && entryCheck)
            entryCheck(source, key, entry, where);
    }
}

void CatalogChecker::checkFile(const JsonSource& source, const std::string& where, const std::string& what,
                               const std::string& file, FileKind kind)
{
    if (!probe)
        return;
    const std::string reason = probe(file, kind);
    if (reason.empty())
        return;
    source.error(where, what + reason);
    diagnostics.entries.back().about = file;
}

void CatalogChecker::checkReference(const JsonSource& source, const std::string& where, const std::string& what,
                                    const std::set<std::string>& keys, const std::string& key, const char* noun,
                                    const char* catalog)
{
    // A catalog cut short by a syntax error may well hold the key: only its syntax is reported.
    if (keys.count(key) == 0 && index.cutShort.count(catalog) == 0)
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
    checkKeys(source, "", source.document, "", ConfigKeys::Format);
}

void CatalogChecker::checkTextures(const std::string& path, const std::string& text)
{
    using namespace TextureKeys;
    checkCatalog(path, text, Format, "texture", index.textures,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     checkFile(source, where + "/" + File.name, "texture " + quoted(key) + ": ", entry.at(File.name),
                               FileKind::Image);
                 });
}

void CatalogChecker::checkSprites(const std::string& path, const std::string& text)
{
    using namespace SpriteKeys;
    checkCatalog(
        path, text, Format, "sprite", index.sprites,
        [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
            const std::string what = "sprite " + quoted(key) + ": ";
            checkReference(source, where + "/" + Texture.name, what, index.textures, entry.at(Texture.name), "texture",
                           DemoPaths::Textures);
            // Truncated toward zero, as the player reads it: empty when |size| < 1.
            auto empty = [&entry](const JsonKey& size) {
                const double value = entry.contains(size.name) ? numberOr(entry.at(size.name), 1.0) : size.fallback;
                return value > -1.0 && value < 1.0;
            };
            if (empty(RectW) || empty(RectH))
                source.warning(where, what + "the rectangle is empty (rectW or rectH 0), so the sprite draws nothing");
        });
}

void CatalogChecker::checkShaders(const std::string& path, const std::string& text)
{
    using namespace ShaderKeys;
    checkCatalog(path, text, Format, "shader", index.shaders,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "shader " + quoted(key) + ": ";
                     const json texture = entry.value(Texture.name, json(Texture.text));
                     if (texture.is_string() && !texture.get<std::string>().empty())
                         checkReference(source, where + "/" + Texture.name, what, index.textures, texture, "texture",
                                        DemoPaths::Textures);
                     const std::set<std::string>* declared = declaredUniforms(key, entry.at(Fragment.name));
                     if (entry.contains(Uniforms.name))
                         for (const auto& uniform : entry.at(Uniforms.name).items())
                         {
                             const std::string uniformWhere = where + "/" + Uniforms.name + "/" + uniform.key();
                             if (declared && declared->count(uniform.key()) == 0)
                                 source.error(uniformWhere,
                                              what + "uniform " + quoted(uniform.key()) + " is not declared in " +
                                                  entry.at(Fragment.name).get<std::string>() + declaredList(*declared) +
                                                  ", so setting it does nothing");
                             else if (!isNumber(uniform.value()))
                                 source.error(uniformWhere, what + "uniform " + quoted(uniform.key()) +
                                                                " must be a number, not " + typeName(uniform.value()));
                             else if (const char* range = rangeProblem(uniform.value(), false))
                                 source.error(uniformWhere, what + "uniform " + quoted(uniform.key()) + " " +
                                                                uniform.value().dump() + " is out of " + range +
                                                                ", so the player skips this entry");
                         }
                     index.fragments.emplace_back(key, entry.at(Fragment.name));
                     checkFile(source, where + "/" + Fragment.name, what, entry.at(Fragment.name), FileKind::Fragment);
                 });
}

void CatalogChecker::checkMusic(const std::string& path, const std::string& text)
{
    using namespace MusicKeys;
    checkCatalog(path, text, Format, "song", index.music,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "song " + quoted(key) + ": ";
                     if (entry.contains(Volume.name))
                     {
                         const double volume = numberOr(entry.at(Volume.name), 0.0);
                         if (volume < 0.0 || volume > 100.0)
                             source.warning(where + "/" + Volume.name, what + "the volume lies outside 0..100");
                     }
                     checkFile(source, where + "/" + File.name, what, entry.at(File.name), FileKind::Sound);
                 });
}

void CatalogChecker::checkParticles(const std::string& path, const std::string& text)
{
    using namespace ParticleKeys;
    checkCatalog(path, text, Format, "particle system", index.particles,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "particle system " + quoted(key) + ": ";
                     if (entry.contains(Instances.name) && numberOr(entry.at(Instances.name), 0.0) < 0.0)
                         source.error(where + "/" + Instances.name,
                                      what + quoted(Instances.name) + " must not be negative");
                     const std::string file = entry.at(File.name);
                     const std::size_t errorsBefore = static_cast<std::size_t>(diagnostics.errors());
                     checkFile(source, where + "/" + File.name, what, file, FileKind::Text);
                     if (static_cast<std::size_t>(diagnostics.errors()) == errorsBefore)
                         index.particleFiles.emplace_back(key, file);
                 });
    // A catalog that does not parse still names its files: their own mistakes would otherwise
    // hide until the syntax error is fixed.
    if (!json::accept(text))
        salvageParticleFiles(text);
}

void CatalogChecker::salvageParticleFiles(const std::string& text)
{
    static const std::regex fileName(R"re("([^"\\]+\.json)")re");
    for (auto match = std::sregex_iterator(text.begin(), text.end(), fileName); match != std::sregex_iterator();
         ++match)
    {
        const std::string file = (*match)[1].str();
        const bool known = std::any_of(index.particleFiles.begin(), index.particleFiles.end(),
                                       [&](const auto& entry) { return entry.second == file; });
        if (!known && probe && probe(file, FileKind::Text).empty())
            index.particleFiles.emplace_back(std::string(), file);
    }
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
    using namespace ParticleFileKeys;
    checkKeys(source, "", source.document, "", Format);
    if (!source.document.contains(Sprites.name) || !source.document.at(Sprites.name).is_array())
        return;
    const json& sprites = source.document.at(Sprites.name);
    const std::string spritesWhere = std::string("/") + Sprites.name;
    if (sprites.empty())
        source.error(spritesWhere, quoted(Sprites.name) + " is empty: the particles have nothing to draw");
    for (std::size_t i = 0; i < sprites.size(); ++i)
    {
        const std::string where = spritesWhere + "/" + std::to_string(i);
        if (!sprites[i].is_string())
            source.error(where, std::string("a sprite key must be a string, not ") + typeName(sprites[i]));
        else
            checkReference(source, where, "", index.sprites, sprites[i], "sprite", DemoPaths::Sprites);
    }
}

void CatalogChecker::checkTexts(const std::string& path, const std::string& text)
{
    using namespace TextKeys;
    checkCatalog(path, text, Format, "text system", index.texts,
                 [this](const JsonSource& source, const std::string& key, const json& entry, const std::string& where) {
                     const std::string what = "text system " + quoted(key) + ": ";
                     for (const JsonKey* burst : {&ParticlesIn, &ParticlesOut})
                     {
                         const json value = entry.value(burst->name, json(burst->text));
                         if (value.is_string() && !value.get<std::string>().empty())
                             checkReference(source, where + "/" + burst->name, what, index.particles, value,
                                            "particle system", DemoPaths::Particles);
                     }
                     checkFile(source, where + "/" + Font.name, what, entry.at(Font.name), FileKind::Font);
                 });
}

std::set<std::string> CatalogChecker::checkAnimationFile(const std::string& path, const std::string& text)
{
    std::set<std::string> names;
    const JsonSource source(path, text, diagnostics);
    const json& document = source.document;
    using namespace AnimationKeys;
    if (!document.is_object() || !document.contains(Format.topLevel))
    {
        if (!source.syntaxError)
            source.error("", "missing top-level key " + quoted(Format.topLevel) + "; nothing in this file is loaded");
        return names;
    }
    for (const auto& member : members(document.at(Format.topLevel)))
    {
        const std::string& name = member.first;
        const json& animation = *member.second;
        names.insert(name);
        if (source.syntaxError)
            continue;
        const std::string where = std::string("/") + Format.topLevel + "/" + name;
        const std::string what = "animation " + quoted(name) + ": ";
        if (!animation.is_object())
        {
            source.error(where, what + "must be an object, not " + typeName(animation));
            continue;
        }
        if (!checkKeys(source, what, animation, where, Format))
            continue;
        const json frames = animation.value(Frames.name, json());
        if (!frames.is_array() && !frames.is_object() && !frames.is_null())
        {
            source.error(where + "/" + Frames.name,
                         what + quoted(Frames.name) + " must be an array, not " + typeName(frames));
            continue;
        }
        double total = 0.0;
        bool framesValid = true;
        for (const auto& frame : members(frames))
        {
            const std::string frameWhere = where + "/" + Frames.name + "/" + frame.first;
            const std::string frameWhat = what + "frame " + frame.first + ": ";
            if (!frame.second->is_object())
            {
                source.error(frameWhere, frameWhat + "must be an object, not " + typeName(*frame.second));
                framesValid = false;
                continue;
            }
            if (checkKeys(source, frameWhat, *frame.second, frameWhere, FrameFormat))
                total += numberOr(frame.second->at(D.name), 0.0);
            else
                framesValid = false;
        }
        if (frames.empty())
            source.warning(where, what + "has no frames");
        else if (framesValid && animation.at(Loop.name).get<bool>() && total <= 0.0)
            source.warning(where, what + "loops over frames whose durations add up to 0");
    }
    return names;
}

const std::set<std::string>* CatalogChecker::declaredUniforms(const std::string& key, const nlohmann::json& fragment)
{
    std::string source;
    if (!fragment.is_string() || !readText || !readText(fragment.get<std::string>(), source))
        return nullptr;
    return &(index.uniforms[key] = ShaderSource::uniforms(source));
}

std::string CatalogChecker::declaredList(const std::set<std::string>& names)
{
    if (names.empty())
        return " (it declares no uniform)";
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return " (it declares " + list + ")";
}
