#pragma once

#include "effects/Particle.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

    bool loadFromFile(const std::string& path, std::int32_t numParticles);

    // One particle at a random place of the spawn area; nothing while inactive or when the pool is full.
    void spawn();
    // One particle at (x, y), whatever `active` says; nothing when the pool is full.
    void spawnAt(float x, float y);
    void update(float dt);
    void draw(sf::RenderTarget& target);
    void setActive(bool on);
    // Inactive, every slot freed; the spawn timer keeps its value.
    void reset();

    std::vector<sf::Sprite*> sprites;
    std::unique_ptr<Particle[]> particles;
    bool active = false;
    float spawn_rate = 0.f;
    std::int32_t numParticles = 0;
    float spawnTimer = 0.f;
    Range x, y, xs, ys, xg, yg, rot, rotspeed, fadespeed, scale, scalespeed, ttl;
    bool fadein = false;
    bool fadeout = false;
};
