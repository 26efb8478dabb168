#include "effects/TextSystem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "effects/ParticleManager.hpp"

#include <nlohmann/json.hpp>

#include <iostream>

namespace
{
// Limits beyond which a value is a typing error that would exhaust memory or crash the font
// rasteriser (glyphs of tens of thousands of pixels, strokes of thousands).
constexpr std::int32_t MaxInstances = 10000;
constexpr float MaxCharacterSize = 2048.f;
constexpr std::int32_t MaxOutlineWidth = 256;

float numberOr(const nlohmann::json& description, const char* key, float fallback)
{
    return description.contains(key) ? jsonFloat(description.at(key)) : fallback;
}

std::int32_t integerOr(const nlohmann::json& description, const char* key, std::int32_t fallback)
{
    return description.contains(key) ? jsonInt(description.at(key)) : fallback;
}

bool flagOr(const nlohmann::json& description, const char* key, bool fallback)
{
    return description.contains(key) ? description.at(key).get<bool>() : fallback;
}

std::string keyOr(const nlohmann::json& description, const char* key)
{
    return description.contains(key) ? description.at(key).get<std::string>() : std::string();
}

[[noreturn]] void outOfRange(const nlohmann::json& value, const std::string& what)
{
    throw nlohmann::json::type_error::create(302, "number " + value.dump() + " is out of the " + what, &value);
}

std::uint32_t characterSize(const nlohmann::json& value)
{
    const float size = jsonFloat(value);
    if (!(size > -1.f && size < MaxCharacterSize + 1.f))
        outOfRange(value, "range of 0 to 2048 pixels");
    return static_cast<std::uint32_t>(size);
}

std::int32_t outlineWidth(const nlohmann::json& description)
{
    if (!description.contains("outlinecolor_width"))
        return 0;
    const nlohmann::json& value = description.at("outlinecolor_width");
    const std::int32_t width = jsonInt(value);
    if (width < -MaxOutlineWidth || width > MaxOutlineWidth)
        outOfRange(value, "range of -256 to 256 pixels");
    return width;
}

// Particle keys of the style, in reading order, looked up once all values have been read.
struct ParticleKeys
{
    std::string in;
    std::string out;
};

// Reads "size" and the optional keys in the documented order, each with its default.
TextStyle readStyle(const nlohmann::json& d, ParticleKeys& keys, std::int32_t& numInstances)
{
    TextStyle style;
    style.characterSize = characterSize(d.at("size"));
    style.fillR = integerOr(d, "fillcolor_r", 255);
    style.fillG = integerOr(d, "fillcolor_g", 255);
    style.fillB = integerOr(d, "fillcolor_b", 255);
    style.outlineR = integerOr(d, "outlinecolor_r", 0);
    style.outlineG = integerOr(d, "outlinecolor_g", 0);
    style.outlineB = integerOr(d, "outlinecolor_b", 0);
    style.outlineWidth = outlineWidth(d);
    style.duration = numberOr(d, "duration", 5.f);
    style.delay = numberOr(d, "delay", 0.f);
    style.letterdelay = numberOr(d, "letterdelay", 0.f);
    style.worddelay = numberOr(d, "worddelay", 0.f);
    style.fade_in = flagOr(d, "fade_in", false);
    style.fade_out = flagOr(d, "fade_out", false);
    style.fade_duration = numberOr(d, "fade_duration", 0.5f);
    style.x_in = numberOr(d, "x_in", 0.f);
    style.y_in = numberOr(d, "y_in", 0.f);
    style.x_out = numberOr(d, "x_out", 0.f);
    style.y_out = numberOr(d, "y_out", 0.f);
    style.rotate_in = numberOr(d, "rotate_in", 0.f);
    style.rotate_out = numberOr(d, "rotate_out", 0.f);
    style.scale_in = numberOr(d, "scale_in", 0.f);
    style.scale_out = numberOr(d, "scale_out", 0.f);
    style.ease_in = integerOr(d, "ease_in", Easing::Linear);
    style.ease_out = integerOr(d, "ease_out", Easing::Linear);
    style.tween_duration_in = numberOr(d, "tween_duration_in", 0.f);
    style.tween_duration_out = numberOr(d, "tween_duration_out", 0.f);
    keys.in = keyOr(d, "particles_in");
    keys.out = keyOr(d, "particles_out");
    style.num_particles_in = integerOr(d, "num_particles_in", 0);
    style.num_particles_out = integerOr(d, "num_particles_out", 0);
    style.particles_duration_out = numberOr(d, "particles_duration_out", 0.f);
    numInstances = integerOr(d, "num_instances", 5);
    if (numInstances > MaxInstances)
        outOfRange(d.at("num_instances"), "range of 0 to " + std::to_string(MaxInstances) + " instances");
    return style;
}

ParticleSystem* findParticles(ParticleManager& particles, const std::string& key)
{
    // The empty key means no bursts, without a message.
    return key.empty() ? nullptr : particles.getParticleSystem(key);
}
} // namespace

bool TextSystem::parse(const nlohmann::json& description, ParticleManager& particles)
{
    if (!validateJson(description, {"font", "size"}))
    {
        std::cerr << "TextSystem: Missing properties in textdata." << std::endl;
        return false;
    }
    if (!font.loadFromFile(description.at("font").get<std::string>()))
    {
        std::cerr << "TextSystem: Missing FONT property." << std::endl;
        return false;
    }
    loadedFont = font;

    ParticleKeys keys;
    std::int32_t numInstances = 0;
    TextStyle style = readStyle(description, keys, numInstances);
    style.particles_in = findParticles(particles, keys.in);
    style.particles_out = findParticles(particles, keys.out);

    for (std::int32_t i = 0; i < numInstances; ++i)
        instances.push_back(std::make_unique<TextInstance>(font, style));
    return true;
}

void TextSystem::display(const std::string& text, float x, float y, float delay, float duration)
{
    for (const auto& instance : instances)
    {
        if (!instance->busy)
        {
            instance->display(text, x, y, delay, duration);
            return;
        }
    }
}

void TextSystem::update(float dt)
{
    for (const auto& instance : instances)
        instance->update(dt);
}

void TextSystem::restart()
{
    font = loadedFont;
    for (const auto& instance : instances)
        instance->restart();
}

void TextSystem::draw(sf::RenderTarget& target) const
{
    for (const auto& instance : instances)
        instance->draw(target);
}
