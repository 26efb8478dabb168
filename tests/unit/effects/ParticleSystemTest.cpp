#include "effects/ParticleSystem.hpp"

#include "effects/EffectsTestSupport.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <array>

using namespace effectstest;
using ParticleSystemTest = effectstest::SpriteCatalogTest;

namespace
{
using Values = std::array<float, 12>;

// x, y, xs, ys, fadespeed, ttl, xg, yg, rot, rotspeed, scale, scalespeed: the order of the draws.
Values valuesOf(const Particle& p)
{
    return {p.x, p.y, p.xs, p.ys, p.fadespeed, p.ttl, p.xg, p.yg, p.rot, p.rotspeed, p.scale, p.scalespeed};
}

// What a spawn must take from the sequence, drawn here in the documented order; the sprite
// chosen by the last draw goes to `sprite`.
Values drawnInOrder(const ParticleSystem& s, bool randomPosition, sf::Sprite*& sprite)
{
    const ParticleSystem::Range* ranges[] = {&s.x,  &s.y,  &s.xs,  &s.ys,       &s.fadespeed, &s.ttl,
                                             &s.xg, &s.yg, &s.rot, &s.rotspeed, &s.scale,     &s.scalespeed};
    Values values{};
    for (std::size_t i = randomPosition ? 0 : 2; i < values.size(); ++i)
        values[i] = Random::range(ranges[i]->min, ranges[i]->max);
    sprite = s.sprites[static_cast<std::size_t>(Random::next()) % s.sprites.size()];
    return values;
}

std::int32_t liveCount(const ParticleSystem& s)
{
    std::int32_t live = 0;
    for (std::int32_t i = 0; i < s.numParticles; ++i)
        live += s.particles[i].active ? 1 : 0;
    return live;
}
} // namespace

TEST_F(ParticleSystemTest, LoadPrintsTheNameAsJsonAndReadsValuesWithDefaults)
{
    nlohmann::json description = systemJson();
    description["sprites"] = {"dot", "nothing"};
    description["min_xs"] = true;
    description["max_y"] = 99.5;
    EXPECT_EQ(load(description), Console({"ParticleSystem: name=\"sparks\" numParticles=100\n",
                                          "SpriteManager: Sprite with key nothing does not exist.\n"}));
    EXPECT_EQ(system.numParticles, 100);
    EXPECT_EQ(liveCount(system), 0);
    EXPECT_FALSE(system.active);
    EXPECT_EQ(system.sprites, (std::vector<sf::Sprite*>{sprites.getSprite("dot"), nullptr}));
    EXPECT_EQ((Values{system.x.min, system.x.max, system.y.min, system.y.max, system.xs.min, system.ttl.max,
                      system.spawn_rate}),
              (Values{0.f, 288.f, 0.f, 99.5f, 1.f, 67.f, 0.f}));

    description["name"] = 7;
    description["sprites"] = nlohmann::json::array();
    EXPECT_EQ(load(description, 3),
              Console({"ParticleSystem: name=7 numParticles=3\n",
                       "ParticleSystem: No usable sprite in p.json; the system spawns nothing.\n"}));
    system.spawnAt(1.f, 2.f);
    EXPECT_EQ(liveCount(system), 0);
}

TEST_F(ParticleSystemTest, BadFilesAreOneReportAndNoLoadLine)
{
    EXPECT_EQ(captured([&] { EXPECT_FALSE(system.loadFromFile("absent.json", 5, sprites)); }),
              errLines("ParticleSystem: Unable to open file absent.json.\n"));
    nlohmann::json description = systemJson();
    description.erase("min_ttl");
    EXPECT_EQ(load(description, 5, false),
              errLines("validateJson: Missing prop: min_ttl.\nParticleSystem: Missing properties in jsonfile.\n"));

    // The first bad value in reading order is the one named.
    const std::string skip = "ParticleSystem: Skipping [p.json]: [json.exception.type_error.302] type must be ";
    const std::pair<nlohmann::json, std::string> cases[] = {
        {{{"sprites", "dot"}, {"min_xs", "1"}}, "array, but is string"},
        {{{"sprites", {"dot", 3}}}, "string, but is number"},
        {{{"min_xs", "1"}, {"fadein", 1}}, "number, but is string"},
        {{{"fadein", 1}}, "boolean, but is number"},
    };
    for (const auto& [changes, text] : cases)
    {
        description = systemJson();
        description.update(changes);
        EXPECT_EQ(load(description, 5, false), errLines(skip + text + "\n"));
    }
    EXPECT_EQ(load(systemJson(), -1, false), errLines("ParticleSystem: Pool size -1 for p.json is negative.\n"));
    EXPECT_EQ(system.particles, nullptr);
}

TEST_F(ParticleSystemTest, SpawnDrawsInTheFixedOrderAndRepeatsWithTheSequence)
{
    nlohmann::json description = systemJson();
    description.update({{"sprites", {"dot", "dot2", "dot"}}, {"min_x", 100}, {"max_x", -100}, {"fadein", true}});
    load(description, 3);
    for (int run = 0; run < 2; ++run)
    {
        system.reset();
        system.spawn(); // inactive: nothing, and no draw
        system.setActive(true);
        Random::restart();
        system.spawn();
        system.spawnAt(5.f, 6.f);
        Random::restart();
        sf::Sprite* sprite[2] = {};
        const Values first = drawnInOrder(system, true, sprite[0]);
        Values second = drawnInOrder(system, false, sprite[1]);
        second[0] = 5.f;
        second[1] = 6.f;
        EXPECT_EQ(valuesOf(system.particles[0]), first);
        EXPECT_EQ(valuesOf(system.particles[1]), second);
        EXPECT_EQ((std::array<sf::Sprite*, 2>{system.particles[0].sprite, system.particles[1].sprite}),
                  (std::array<sf::Sprite*, 2>{sprite[0], sprite[1]}));
    }
    // A fade-in starts at 0 towards 1 with the out-sine curve.
    const Particle& p = system.particles[0];
    EXPECT_EQ(p.alpha, 0.f);
    EXPECT_TRUE(p.alphaTween.running);
    EXPECT_EQ((Values{p.alphaTween.to, p.alphaTween.duration, static_cast<float>(p.alphaTween.easing)}),
              (Values{1.f, p.fadespeed, 111.f}));
}

TEST_F(ParticleSystemTest, FirstFreeSlotIsTakenAndAFullPoolDropsSpawnsWithoutDrawing)
{
    nlohmann::json description = systemJson();
    description["sprites"] = {"nothing", "dot"};
    load(description, 3);
    for (int i = 0; i < 3; ++i)
        system.spawnAt(static_cast<float>(i), 0.f);
    system.particles[1].active = false;
    system.spawnAt(9.f, 0.f);
    EXPECT_EQ((Values{system.particles[0].x, system.particles[1].x, system.particles[2].x}), (Values{0.f, 9.f, 2.f}));
    // A null sprite entry is skipped when chosen.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(system.particles[i].sprite, sprites.getSprite("dot"));

    Random::restart();
    const std::int32_t firstValue = Random::next();
    Random::restart();
    system.setActive(true);
    system.spawn();
    system.spawnAt(7.f, 7.f);
    EXPECT_EQ(system.particles[1].x, 9.f);
    EXPECT_EQ(Random::next(), firstValue);
}

TEST_F(ParticleSystemTest, UpdateSpawnsOncePerRateKeepsTheTimerWhileInactiveAndResetFreesAll)
{
    load(systemJson(), 3);
    system.setActive(true);
    for (int step = 1; step <= 5; ++step)
    {
        system.update(Step);
        EXPECT_EQ(liveCount(system), std::min(step, 3)) << step;
    }
    // The particle spawned in a step is updated in that step.
    EXPECT_EQ(system.particles[2].age, Step + Step + Step);

    nlohmann::json description = systemJson();
    description["spawn_rate"] = 0.5;
    load(description, 3);
    for (int step = 0; step < 40; ++step)
        system.update(Step);
    system.setActive(true);
    system.update(Step);
    EXPECT_EQ(liveCount(system), 1);
    for (int step = 0; step < 29; ++step)
        system.update(Step);
    EXPECT_EQ(liveCount(system), 1);
    system.update(Step);
    system.update(Step);
    EXPECT_EQ(liveCount(system), 2);

    system.particles[0].alphaTween.running = true;
    const float timer = system.spawnTimer;
    system.reset();
    EXPECT_FALSE(system.active);
    EXPECT_EQ(liveCount(system), 0);
    EXPECT_FALSE(system.particles[0].alphaTween.running);
    EXPECT_EQ(system.spawnTimer, timer);
}

TEST_F(ParticleSystemTest, DrawSetsEachParticlesTransformAndColourOnTheSharedSprite)
{
    load(systemJson(), 2);
    system.spawnAt(4.f, 4.f);
    system.spawnAt(20.f, 10.f);
    for (int i = 0; i < 2; ++i)
    {
        system.particles[i].rot = 0.f;
        system.particles[i].scale = 4.f;
    }
    system.particles[1].alpha = 0.5f;

    sf::RenderTexture target;
    ASSERT_TRUE(target.create(32, 32));
    target.clear(sf::Color::Black);
    system.draw(target);
    target.display();
    const sf::Image pixels = target.getTexture().copyToImage();
    EXPECT_EQ(pixels.getPixel(6, 6), sf::Color::White);
    EXPECT_EQ(pixels.getPixel(13, 6), sf::Color::Black);
    EXPECT_NEAR(pixels.getPixel(24, 14).r, 127, 2);
    EXPECT_EQ(pixels.getPixel(24, 20), sf::Color::Black);
}
