#include "effects/TextSystem.hpp"

#include "report/Problem.hpp"

#include <functional>
#include <string_view>

#include "catalogs/CatalogJson.hpp"
#include "effects/ParticleManager.hpp"

#include <nlohmann/json.hpp>


namespace
{
// Particle keys of the style, in reading order, looked up once all values have been read.
struct BurstKeys
{
    std::string in;
    std::string out;
};

// Reads "size" and the optional keys in the documented order, each with its default.
TextStyle readStyle(const nlohmann::json& d, BurstKeys& keys, std::int32_t& numInstances)
{
    using namespace TextKeys;
    TextStyle style;
    style.characterSize = static_cast<std::uint32_t>(keyFloat(d, Size));
    style.fillR = keyInt(d, FillR);
    style.fillG = keyInt(d, FillG);
    style.fillB = keyInt(d, FillB);
    style.outlineR = keyInt(d, OutlineR);
    style.outlineG = keyInt(d, OutlineG);
    style.outlineB = keyInt(d, OutlineB);
    style.outlineWidth = keyInt(d, OutlineWidth);
    style.duration = keyFloat(d, Duration);
    style.delay = keyFloat(d, Delay);
    style.letterdelay = keyFloat(d, LetterDelay);
    style.worddelay = keyFloat(d, WordDelay);
    style.fade_in = keyBool(d, FadeIn);
    style.fade_out = keyBool(d, FadeOut);
    style.fade_duration = keyFloat(d, FadeDuration);
    style.x_in = keyFloat(d, XIn);
    style.y_in = keyFloat(d, YIn);
    style.x_out = keyFloat(d, XOut);
    style.y_out = keyFloat(d, YOut);
    style.rotate_in = keyFloat(d, RotateIn);
    style.rotate_out = keyFloat(d, RotateOut);
    style.scale_in = keyFloat(d, ScaleIn);
    style.scale_out = keyFloat(d, ScaleOut);
    style.ease_in = keyInt(d, EaseIn);
    style.ease_out = keyInt(d, EaseOut);
    style.tween_duration_in = keyFloat(d, TweenDurationIn);
    style.tween_duration_out = keyFloat(d, TweenDurationOut);
    keys.in = keyString(d, ParticlesIn);
    keys.out = keyString(d, ParticlesOut);
    style.num_particles_in = keyInt(d, NumParticlesIn);
    style.num_particles_out = keyInt(d, NumParticlesOut);
    style.particles_duration_out = keyFloat(d, ParticlesDurationOut);
    numInstances = keyInt(d, NumInstances);
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
    if (!validateJson(description, TextKeys::Format.required()))
    {
        Problem::report(Problem("TextSystem") << "Missing properties in textdata.");
        return false;
    }
    if (!font.loadFromFile(keyString(description, TextKeys::Font)))
    {
        Problem::report(Problem("TextSystem") << "Missing FONT property.");
        return false;
    }
    loadedFont = font;

    BurstKeys keys;
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

std::shared_ptr<const sf::Font> TextSystem::saveFont(bool& copied)
{
    // Every glyph the instances draw lies on the page of their one character size; the cache
    // places glyphs side by side there, so equal pages mean caches that draw alike.
    const unsigned size = instances.empty() ? 0 : instances.front()->style.characterSize;
    const sf::Image page = font.getTexture(size).copyToImage();
    const sf::Vector2u extent = page.getSize();
    const std::string_view bytes(reinterpret_cast<const char*>(page.getPixelsPtr()),
                                 std::size_t(4) * extent.x * extent.y);
    const std::size_t print = std::hash<std::string_view>()(bytes) ^ (std::size_t(extent.x) << 40) ^ extent.y;
    copied = !savedFont || print != savedPage;
    if (copied)
    {
        savedFont = std::make_shared<const sf::Font>(font);
        savedPage = print;
    }
    return savedFont;
}

void TextSystem::draw(sf::RenderTarget& target) const
{
    for (const auto& instance : instances)
        instance->draw(target);
}

TextSystem::Saved TextSystem::save()
{
    bool copied = false;
    Saved saved{saveFont(copied), {}};
    saved.instances.reserve(instances.size());
    for (const auto& instance : instances)
        saved.instances.push_back(instance->save());
    return saved;
}

void TextSystem::restore(const Saved& saved)
{
    restoreFont(*saved.font);
    for (std::size_t i = 0; i < saved.instances.size() && i < instances.size(); ++i)
        instances[i]->restore(saved.instances[i]);
}

std::size_t TextSystem::Saved::bytes() const
{
    std::size_t sum = 0;
    for (const TextInstance::Saved& instance : instances)
        sum += instance.bytes();
    return sum;
}
