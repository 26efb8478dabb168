#pragma once

#include "effects/Particle.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SpriteManager;

// A sprite emitter with a fixed pool of particles, described by a particle-system file.
class ParticleSystem
{
public:
    // A (min, max) pair; min above max draws from [max, min].
    struct Range
    {
        float min = 0.f;
        float max = 0.f;
    };

    // Reads the file, prints "ParticleSystem: name=<name as JSON> numParticles=<n>", looks the
    // sprites up in the catalog and allocates the pool. False (after one report) when the file
    // cannot be used; the system is then left as it was.
    bool loadFromFile(const std::string& path, std::int32_t numParticles);
    bool loadFromFile(const std::string& path, std::int32_t numParticles, SpriteManager& spriteCatalog);

    // The pool of numParticles free slots; the only allocation a system ever makes.
    bool allocatePool(std::int32_t numParticles);

    // One particle at a random place of the spawn area; nothing while inactive or when the pool is full.
    void spawn();
    // One particle at (x, y), whatever `active` says; nothing when the pool is full.
    void spawnAt(float x, float y);
    void update(float dt);
    void draw(sf::RenderTarget& target);
    // Leaves the shared sprites as a draw leaves them, without drawing.
    void pose();
    void setActive(bool on);
    // Inactive, every slot freed; the spawn timer keeps its value.
    void reset();
    // As loaded: inactive, every slot as new, the spawn timer at 0.
    void restart();

    // True when at least one entry of `sprites` can be drawn.
    bool hasUsableSprite() const;

    std::vector<sf::Sprite*> sprites;
    std::unique_ptr<Particle[]> particles;
    bool active = false;
    float spawn_rate = 0.f;
    std::int32_t numParticles = 0;
    float spawnTimer = 0.f;
    Range x, y, xs, ys, xg, yg, rot, rotspeed, fadespeed, scale, scalespeed, ttl;
    bool fadein = false;
    bool fadeout = false;

private:
    // The lowest free slot, or null when every slot is live.
    Particle* freeSlot();
    // The sprite for a drawn value r: entry r modulo the count, or the next entry that is not null.
    sf::Sprite* chooseSprite(std::int32_t r) const;
    // Fills a free slot from values drawn after the position (the shared tail of both spawns).
    void start(Particle& particle, float startX, float startY);
    // Sets a live particle's look on its shared sprite.
    static sf::Sprite& poseSprite(const Particle& particle);
};
