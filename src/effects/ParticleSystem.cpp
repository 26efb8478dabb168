#include "effects/ParticleSystem.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"
#include "catalogs/SpriteManager.hpp"
#include "effects/Random.hpp"
#include "motion/Opacity.hpp"

#include <SFML/Graphics/Color.hpp>

#include <algorithm>
#include <iostream>
#include <new>

using namespace ParticleFileKeys;

namespace
{
const char* const Component = "ParticleSystem";

// The file's values, read and type-checked before anything is printed or changed, so that a
// bad file is one report and never a half-loaded system announced as loaded.
struct SystemFile
{
    std::string name;
    std::vector<std::string> spriteKeys;
    ParticleSystem::Range x, y, xs, ys, xg, yg, rot, rotspeed, scale, scalespeed, fadespeed, ttl;
    bool fadein = false;
    bool fadeout = false;
    float spawnRate = 0.f;
};

ParticleSystem::Range requiredRange(const nlohmann::json& document, const JsonKey& min, const JsonKey& max)
{
    ParticleSystem::Range range;
    range.min = keyFloat(document, min);
    range.max = keyFloat(document, max);
    return range;
}

std::vector<std::string> readSpriteKeys(const nlohmann::json& list)
{
    // Iterating a scalar would visit it as a one-element list, so anything but an array is refused.
    if (!list.is_array())
        throw nlohmann::json::type_error::create(302, std::string("type must be array, but is ") + list.type_name(),
                                                 &list);
    std::vector<std::string> keys;
    for (const nlohmann::json& key : list)
        keys.push_back(key.get<std::string>());
    return keys;
}

// Reads in the order the format defines: sprites, the spawn area, the motion ranges, the fade
// flags, the fade and lifetime ranges, the spawn rate; the first bad value is the one reported.
SystemFile readSystemFile(const nlohmann::json& document)
{
    SystemFile file;
    // A name with broken UTF-8 is still printed, with replacement characters.
    file.name = document.at(Name.name).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    file.spriteKeys = readSpriteKeys(document.at(Sprites.name));
    file.x = requiredRange(document, MinX, MaxX);
    file.y = requiredRange(document, MinY, MaxY);
    file.xs = requiredRange(document, MinXs, MaxXs);
    file.ys = requiredRange(document, MinYs, MaxYs);
    file.xg = requiredRange(document, MinXg, MaxXg);
    file.yg = requiredRange(document, MinYg, MaxYg);
    file.rot = requiredRange(document, MinRot, MaxRot);
    file.rotspeed = requiredRange(document, MinRotspeed, MaxRotspeed);
    file.scale = requiredRange(document, MinScale, MaxScale);
    file.scalespeed = requiredRange(document, MinScalespeed, MaxScalespeed);
    file.fadein = keyBool(document, Fadein);
    file.fadeout = keyBool(document, Fadeout);
    file.fadespeed = requiredRange(document, MinFadespeed, MaxFadespeed);
    file.ttl = requiredRange(document, MinTtl, MaxTtl);
    file.spawnRate = keyFloat(document, SpawnRate);
    return file;
}

// One value of the range from the next number of the one sequence.
float pick(const ParticleSystem::Range& range)
{
    return Random::range(range.min, range.max);
}
} // namespace

bool ParticleSystem::loadFromFile(const std::string& path, std::int32_t numParticles)
{
    return loadFromFile(path, numParticles, SpriteManager::instance());
}

bool ParticleSystem::loadFromFile(const std::string& path, std::int32_t numParticles, SpriteManager& spriteCatalog)
{
    nlohmann::json document;
    if (!readJsonFile(path, Component, document))
        return false;
    if (!validateJson(document, Format.required()))
    {
        Problem::report(Problem(Component).file(path) << "Missing properties in jsonfile.");
        return false;
    }
    if (numParticles < 0)
    {
        Problem::report(Problem(Component).file(path) << "Pool size " << numParticles << " for " << path << " is negative.");
        return false;
    }

    SystemFile file;
    bool readable = false;
    guardEntry(Component, path, [&] {
        file = readSystemFile(document);
        readable = true;
    });
    if (!readable)
        return false;

    std::cout << Component << ": name=" << file.name << " numParticles=" << numParticles << std::endl;
    std::vector<sf::Sprite*> found;
    for (const std::string& key : file.spriteKeys)
        found.push_back(spriteCatalog.getSprite(key));
    if (!allocatePool(numParticles))
    {
        Problem::report(Problem(Component).file(path)
                        << "Unable to allocate " << numParticles << " particles for " << path << ".");
        return false;
    }

    sprites = std::move(found);
    posed.clear();
    for (const sf::Sprite* sprite : sprites)
        if (sprite && std::find(posed.begin(), posed.end(), sprite) == posed.end())
            posed.push_back(sprite);
    distinctSprites = posed.size();
    x = file.x;
    y = file.y;
    xs = file.xs;
    ys = file.ys;
    xg = file.xg;
    yg = file.yg;
    rot = file.rot;
    rotspeed = file.rotspeed;
    scale = file.scale;
    scalespeed = file.scalespeed;
    fadein = file.fadein;
    fadeout = file.fadeout;
    fadespeed = file.fadespeed;
    ttl = file.ttl;
    spawn_rate = file.spawnRate;
    active = false;
    spawnTimer = 0.f;
    // Said once here rather than on every spawn that finds nothing to draw.
    if (!hasUsableSprite())
        Problem::report(Problem(Component).file(path) << "No usable sprite in " << path << "; the system spawns nothing.");
    return true;
}

bool ParticleSystem::allocatePool(std::int32_t count)
{
    if (count < 0)
        return false;
    // Value-initialised: every slot starts free with its tween stopped.
    Particle* pool = new (std::nothrow) Particle[static_cast<std::size_t>(count)]();
    if (!pool)
        return false;
    particles.reset(pool);
    numParticles = count;
    return true;
}

bool ParticleSystem::hasUsableSprite() const
{
    for (const sf::Sprite* sprite : sprites)
    {
        if (sprite)
            return true;
    }
    return false;
}

Particle* ParticleSystem::freeSlot()
{
    for (std::int32_t i = 0; i < numParticles; ++i)
    {
        if (!particles[i].active)
            return &particles[i];
    }
    return nullptr;
}

sf::Sprite* ParticleSystem::chooseSprite(std::int32_t r) const
{
    const std::size_t count = sprites.size();
    const std::size_t first = static_cast<std::size_t>(r) % count;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (sf::Sprite* sprite = sprites[(first + i) % count])
            return sprite;
    }
    return nullptr;
}

void ParticleSystem::spawn()
{
    if (!active || !hasUsableSprite())
        return;
    Particle* slot = freeSlot();
    if (!slot)
        return;
    const float startX = pick(x);
    const float startY = pick(y);
    start(*slot, startX, startY);
}

void ParticleSystem::spawnAt(float atX, float atY)
{
    if (!hasUsableSprite())
        return;
    if (Particle* slot = freeSlot())
        start(*slot, atX, atY);
}

void ParticleSystem::start(Particle& particle, float startX, float startY)
{
    // The order of the draws is part of the behaviour: every run repeats the same particles.
    const float speedX = pick(xs);
    const float speedY = pick(ys);
    const float fade = pick(fadespeed);
    const float life = pick(ttl);
    const float accelX = pick(xg);
    const float accelY = pick(yg);
    const float angle = pick(rot);
    const float spin = pick(rotspeed);
    const float size = pick(scale);
    const float growth = pick(scalespeed);
    sf::Sprite* sprite = chooseSprite(Random::next());

    particle.x = startX;
    particle.y = startY;
    particle.xs = speedX;
    particle.ys = speedY;
    particle.xg = accelX;
    particle.yg = accelY;
    particle.rot = angle;
    particle.rotspeed = spin;
    particle.scale = size;
    particle.scalespeed = growth;
    particle.sprite = sprite;
    particle.fadespeed = fade;
    particle.ttl = life;
    particle.fadein = fadein;
    particle.fadeout = fadeout;
    particle.age = 0.f;
    particle.fadingOut = 0;
    if (fadein)
    {
        particle.alpha = 0.f;
        particle.alphaTween.start(0.f, 1.f, fade, Easing::OutSine);
    }
    else
    {
        particle.alpha = 1.f;
    }
    particle.active = true;
}

void ParticleSystem::update(float dt)
{
    // The timer runs while inactive too, so a system switched on spawns at its first update.
    spawnTimer += dt;
    if (active && spawnTimer >= spawn_rate)
    {
        spawn();
        spawnTimer = 0.f;
    }
    for (std::int32_t i = 0; i < numParticles; ++i)
        particles[i].update(dt);
}

sf::Sprite& ParticleSystem::poseSprite(const Particle& particle)
{
    sf::Sprite& sprite = *particle.sprite;
    sprite.setPosition(particle.x, particle.y);
    sprite.setRotation(particle.rot);
    sprite.setColor(sf::Color(255, 255, 255, opacityToAlpha(particle.alpha)));
    sprite.setScale(particle.scale, particle.scale);
    return sprite;
}

void ParticleSystem::draw(sf::RenderTarget& target)
{
    // Particles share the catalog's sprites: each draw sets the whole look anew.
    for (std::int32_t i = 0; i < numParticles; ++i)
    {
        if (particles[i].active)
            target.draw(poseSprite(particles[i]));
    }
}

void ParticleSystem::pose()
{
    // A draw leaves each shared sprite as its last live particle posed it: only those count.
    posed.clear();
    for (std::int32_t i = numParticles - 1; i >= 0 && posed.size() < distinctSprites; --i)
    {
        const Particle& particle = particles[i];
        if (!particle.active || std::find(posed.begin(), posed.end(), particle.sprite) != posed.end())
            continue;
        poseSprite(particle);
        posed.push_back(particle.sprite);
    }
}

void ParticleSystem::setActive(bool on)
{
    active = on;
}

void ParticleSystem::restart()
{
    active = false;
    spawnTimer = 0.f;
    for (std::int32_t i = 0; i < numParticles; ++i)
        particles[i] = Particle();
}

void ParticleSystem::reset()
{
    active = false;
    for (std::int32_t i = 0; i < numParticles; ++i)
    {
        particles[i].active = false;
        particles[i].alphaTween.running = false;
    }
}

std::int32_t ParticleSystem::liveCount() const
{
    std::int32_t live = 0;
    for (std::int32_t i = 0; i < numParticles; ++i)
        live += particles[i].active ? 1 : 0;
    return live;
}

ParticleSystem::Saved ParticleSystem::save() const
{
    Saved saved{active, spawnTimer, {}};
    std::size_t count = 0;
    for (std::int32_t i = 0; i < numParticles; ++i)
        count += particles[i].active || particles[i].alphaTween.running;
    saved.live.reserve(count);
    for (std::int32_t i = 0; i < numParticles; ++i)
    {
        const Particle& particle = particles[i];
        if (particle.active || particle.alphaTween.running)
            saved.live.emplace_back(i, particle);
    }
    return saved;
}

void ParticleSystem::restore(const Saved& saved)
{
    active = saved.active;
    spawnTimer = saved.spawnTimer;
    for (std::int32_t i = 0; i < numParticles; ++i)
    {
        particles[i].active = false;
        particles[i].alphaTween.running = false;
    }
    for (const auto& slot : saved.live)
        particles[slot.first] = slot.second;
}
