#pragma once

#include "catalogs/JsonFormat.hpp"

#include "effects/Particle.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class SpriteManager;

// The keys of a particle-system file: the required ones first, in the order they are tested.
namespace ParticleFileKeys
{
inline constexpr JsonKey Name{"name", JsonType::Any, true};
inline constexpr JsonKey Sprites{"sprites", JsonType::Array, true};
inline constexpr JsonKey MinXs{"min_xs", JsonType::Number, true};
inline constexpr JsonKey MaxXs{"max_xs", JsonType::Number, true};
inline constexpr JsonKey MinYs{"min_ys", JsonType::Number, true};
inline constexpr JsonKey MaxYs{"max_ys", JsonType::Number, true};
inline constexpr JsonKey MinXg{"min_xg", JsonType::Number, true};
inline constexpr JsonKey MaxXg{"max_xg", JsonType::Number, true};
inline constexpr JsonKey MinYg{"min_yg", JsonType::Number, true};
inline constexpr JsonKey MaxYg{"max_yg", JsonType::Number, true};
inline constexpr JsonKey MinRot{"min_rot", JsonType::Number, true};
inline constexpr JsonKey MaxRot{"max_rot", JsonType::Number, true};
inline constexpr JsonKey MinRotspeed{"min_rotspeed", JsonType::Number, true};
inline constexpr JsonKey MaxRotspeed{"max_rotspeed", JsonType::Number, true};
inline constexpr JsonKey MinScale{"min_scale", JsonType::Number, true};
inline constexpr JsonKey MaxScale{"max_scale", JsonType::Number, true};
inline constexpr JsonKey MinScalespeed{"min_scalespeed", JsonType::Number, true};
inline constexpr JsonKey MaxScalespeed{"max_scalespeed", JsonType::Number, true};
inline constexpr JsonKey Fadein{"fadein", JsonType::Boolean, true};
inline constexpr JsonKey Fadeout{"fadeout", JsonType::Boolean, true};
inline constexpr JsonKey MinFadespeed{"min_fadespeed", JsonType::Number, true};
inline constexpr JsonKey MaxFadespeed{"max_fadespeed", JsonType::Number, true};
inline constexpr JsonKey MinTtl{"min_ttl", JsonType::Number, true};
inline constexpr JsonKey MaxTtl{"max_ttl", JsonType::Number, true};
inline constexpr JsonKey MinX{"min_x", JsonType::Number, false, 0};
inline constexpr JsonKey MaxX{"max_x", JsonType::Number, false, 288};
inline constexpr JsonKey MinY{"min_y", JsonType::Number, false, 0};
inline constexpr JsonKey MaxY{"max_y", JsonType::Number, false, 270};
inline constexpr JsonKey SpawnRate{"spawn_rate", JsonType::Number, false, 0};
inline constexpr JsonKey Keys[] = {Name,        Sprites,     MinXs,        MaxXs,        MinYs,         MaxYs,
                                   MinXg,       MaxXg,       MinYg,        MaxYg,        MinRot,        MaxRot,
                                   MinRotspeed, MaxRotspeed, MinScale,     MaxScale,     MinScalespeed, MaxScalespeed,
                                   Fadein,      Fadeout,     MinFadespeed, MaxFadespeed, MinTtl,        MaxTtl,
                                   MinX,        MaxX,        MinY,         MaxY,         SpawnRate};
inline constexpr JsonFormat Format{nullptr, Keys};
} // namespace ParticleFileKeys

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
    // The particles alive now (for the author's overlay).
    std::int32_t liveCount() const;
    void draw(sf::RenderTarget& target);
    // Leaves the shared sprites as a draw leaves them, without drawing.
    void pose();
    void setActive(bool on);
    // Inactive, every slot freed; the spawn timer keeps its value.
    void reset();
    // As loaded: inactive, every slot as new, the spawn timer at 0.
    void restart();

    // What changes while the system plays: a snapshot of a playing demo keeps it. A free slot that
    // runs no tween behaves as any other free slot: only the live ones are kept.
    struct Saved
    {
        bool active = false;
        float spawnTimer = 0.f;
        std::vector<std::pair<std::int32_t, Particle>> live;

        std::size_t bytes() const { return live.size() * sizeof(live[0]) + sizeof(Saved); }
    };
    Saved save() const;
    void restore(const Saved& saved);

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

    // pose(): the shared sprites posed so far, and how many different ones the system has.
    std::vector<const sf::Sprite*> posed;
    std::size_t distinctSprites = 0;
};
