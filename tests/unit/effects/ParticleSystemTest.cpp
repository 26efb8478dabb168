#include "effects/ParticleSystem.hpp"

#include "effects/EffectsTestSupport.hpp"
#include "motion/Opacity.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <cmath>
#include <vector>

using namespace effectstest;
using ParticleSystemTest = effectstest::SpriteCatalogTest;

namespace
{
std::string typeError(const std::string& text)
{
    return "ParticleSystem: Skipping [p.json]: [json.exception.type_error.302] " + text + "\n";
}

// What a spawn must take from the sequence, drawn here in the documented order.
struct Expected
{
    float x, y, xs, ys, fadespeed, ttl, xg, yg, rot, rotspeed, scale, scalespeed;
    std::int32_t spriteIndex;
};

Expected expectedSpawn(const ParticleSystem& s, bool withPosition, float atX = 0.f, float atY = 0.f)
{
    Expected e{};
    e.x = withPosition ? Random::range(s.x.min, s.x.max) : atX;
    e.y = withPosition ? Random::range(s.y.min, s.y.max) : atY;
    e.xs = Random::range(s.xs.min, s.xs.max);
    e.ys = Random::range(s.ys.min, s.ys.max);
    e.fadespeed = Random::range(s.fadespeed.min, s.fadespeed.max);
    e.ttl = Random::range(s.ttl.min, s.ttl.max);
    e.xg = Random::range(s.xg.min, s.xg.max);
    e.yg = Random::range(s.yg.min, s.yg.max);
    e.rot = Random::range(s.rot.min, s.rot.max);
    e.rotspeed = Random::range(s.rotspeed.min, s.rotspeed.max);
    e.scale = Random::range(s.scale.min, s.scale.max);
    e.scalespeed = Random::range(s.scalespeed.min, s.scalespeed.max);
    e.spriteIndex = Random::next() % static_cast<std::int32_t>(s.sprites.size());
    return e;
}

void expectParticle(const Particle& p, const Expected& e, const ParticleSystem& s)
{
    EXPECT_TRUE(p.active);
    EXPECT_EQ(p.x, e.x);
    EXPECT_EQ(p.y, e.y);
    EXPECT_EQ(p.xs, e.xs);
    EXPECT_EQ(p.ys, e.ys);
    EXPECT_EQ(p.fadespeed, e.fadespeed);
    EXPECT_EQ(p.ttl, e.ttl);
    EXPECT_EQ(p.xg, e.xg);
    EXPECT_EQ(p.yg, e.yg);
    EXPECT_EQ(p.rot, e.rot);
    EXPECT_EQ(p.rotspeed, e.rotspeed);
    EXPECT_EQ(p.scale, e.scale);
    EXPECT_EQ(p.scalespeed, e.scalespeed);
    EXPECT_EQ(p.sprite, s.sprites[static_cast<std::size_t>(e.spriteIndex)]);
    EXPECT_EQ(p.age, 0.f);
    EXPECT_EQ(p.fadingOut, 0);
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
    description["sprites"] = {"dot", "dot2"};
    description["min_xs"] = true;
    description["fadeout"] = true;
    description["max_y"] = 99.5;
    EXPECT_EQ(load(description), Console({"ParticleSystem: name=\"sparks\" numParticles=100\n", ""}));
    EXPECT_EQ(system.numParticles, 100);
    EXPECT_EQ(liveCount(system), 0);
    EXPECT_FALSE(system.active);
    EXPECT_EQ(system.sprites, (std::vector<sf::Sprite*>{sprites.getSprite("dot"), sprites.getSprite("dot2")}));
    EXPECT_EQ(system.x.min, 0.f);
    EXPECT_EQ(system.x.max, 288.f);
    EXPECT_EQ(system.y.min, 0.f);
    EXPECT_EQ(system.y.max, 99.5f);
    EXPECT_EQ(system.xs.min, 1.f);
    EXPECT_EQ(system.scalespeed.max, 47.f);
    EXPECT_EQ(system.ttl.max, 67.f);
    EXPECT_EQ(system.spawn_rate, 0.f);
    EXPECT_FALSE(system.fadein);
    EXPECT_TRUE(system.fadeout);

    ParticleSystem numbered;
    description["name"] = 7;
    write("n.json", description.dump());
    EXPECT_EQ(captured([&] { EXPECT_TRUE(numbered.loadFromFile("n.json", 3, sprites)); }),
              Console({"ParticleSystem: name=7 numParticles=3\n", ""}));
}

TEST_F(ParticleSystemTest, BadFilesAreOneReportAndNoLoadLine)
{
    EXPECT_EQ(captured([&] { EXPECT_FALSE(system.loadFromFile("absent.json", 5, sprites)); }),
              errLines("ParticleSystem: Unable to open file absent.json.\n"));

    nlohmann::json description = systemJson();
    description.erase("min_ttl");
    EXPECT_EQ(load(description, 5, false), errLines("validateJson: Missing prop: min_ttl.\n"
                                                     "ParticleSystem: Missing properties in jsonfile.\n"));

    const std::string broken = "{\"name\": 1,";
    write("p.json", broken);
    EXPECT_EQ(captured([&] { EXPECT_FALSE(system.loadFromFile("p.json", 5, sprites)); }),
              errLines("ParticleSystem: Error while parsing JSON.\n" + parseErrorOf(broken) +
                       "\nvalidateJson: Missing prop: sprites.\nParticleSystem: Missing properties in jsonfile.\n"));

    // The first bad value in reading order is the one named.
    description = systemJson();
    description["sprites"] = "dot";
    description["min_xs"] = "1";
    EXPECT_EQ(load(description, 5, false), errLines(typeError("type must be array, but is string")));
    description = systemJson();
    description["min_xs"] = "1";
    description["fadein"] = 1;
    EXPECT_EQ(load(description, 5, false), errLines(typeError("type must be number, but is string")));
    description["min_xs"] = 1;
    EXPECT_EQ(load(description, 5, false), errLines(typeError("type must be boolean, but is number")));
    description = systemJson();
    description["sprites"] = {"dot", 3};
    EXPECT_EQ(load(description, 5, false), errLines(typeError("type must be string, but is number")));

    EXPECT_EQ(load(systemJson(), -1, false), errLines("ParticleSystem: Pool size -1 for p.json is negative.\n"));
    EXPECT_EQ(system.numParticles, 0);
    EXPECT_EQ(system.particles, nullptr);
}

TEST_F(ParticleSystemTest, UnusableSpritesAreSaidOnceAndNeverDrawnFrom)
{
    nlohmann::json description = systemJson();
    description["sprites"] = nlohmann::json::array();
    EXPECT_EQ(load(description, 4), Console({"ParticleSystem: name=\"sparks\" numParticles=4\n",
                                             "ParticleSystem: No usable sprite in p.json; the system spawns nothing.\n"}));
    system.setActive(true);
    system.spawnAt(1.f, 2.f);
    system.update(Step);
    EXPECT_EQ(liveCount(system), 0);

    // A missing name keeps its place but is skipped when chosen.
    description["sprites"] = {"nothing", "dot"};
    EXPECT_EQ(load(description, 40).err, "SpriteManager: Sprite with key nothing does not exist.\n");
    ASSERT_EQ(system.sprites.size(), 2u);
    EXPECT_EQ(system.sprites[0], nullptr);
    for (int i = 0; i < 40; ++i)
        system.spawnAt(0.f, 0.f);
    EXPECT_EQ(liveCount(system), 40);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(system.particles[i].sprite, sprites.getSprite("dot"));
}

TEST_F(ParticleSystemTest, SpawnDrawsInTheFixedOrderAndRepeatsWithTheSequence)
{
    nlohmann::json description = systemJson();
    description["sprites"] = {"dot", "dot2", "dot"};
    description["min_x"] = 100;
    description["max_x"] = -100; // min above max draws from [max, min]
    description["fadein"] = true;
    load(description, 3);

    system.spawn(); // inactive: nothing, and no draw
    system.setActive(true);
    Random::restart();
    system.spawn();
    system.spawnAt(5.f, 6.f);
    Random::restart();
    const Expected first = expectedSpawn(system, true);
    const Expected second = expectedSpawn(system, false, 5.f, 6.f);
    const std::int32_t after = Random::next();
    expectParticle(system.particles[0], first, system);
    expectParticle(system.particles[1], second, system);
    EXPECT_GE(first.x, -100.f);
    EXPECT_LE(first.x, 100.f);
    // A fade-in starts at 0 towards 1 with the out-sine curve.
    EXPECT_EQ(system.particles[0].alpha, 0.f);
    EXPECT_TRUE(system.particles[0].alphaTween.running);
    EXPECT_EQ(system.particles[0].alphaTween.to, 1.f);
    EXPECT_EQ(system.particles[0].alphaTween.duration, first.fadespeed);
    EXPECT_EQ(system.particles[0].alphaTween.easing, 111);

    // The same sequence gives the same particles.
    system.reset();
    system.setActive(true);
    Random::restart();
    system.spawn();
    system.spawnAt(5.f, 6.f);
    expectParticle(system.particles[0], first, system);
    expectParticle(system.particles[1], second, system);
    EXPECT_EQ(Random::next(), after);
}

TEST_F(ParticleSystemTest, FirstFreeSlotIsTakenAndAFullPoolDropsSpawnsWithoutDrawing)
{
    load(systemJson(), 3);
    for (int i = 0; i < 3; ++i)
        system.spawnAt(static_cast<float>(i), 0.f);
    system.particles[1].active = false;
    system.spawnAt(9.f, 0.f);
    EXPECT_EQ(system.particles[0].x, 0.f);
    EXPECT_EQ(system.particles[1].x, 9.f);
    EXPECT_EQ(system.particles[2].x, 2.f);

    // Full: nothing replaced, nothing taken from the sequence.
    Random::restart();
    const std::int32_t firstValue = Random::next();
    Random::restart();
    system.setActive(true);
    system.spawn();
    system.spawnAt(7.f, 7.f);
    EXPECT_EQ(system.particles[1].x, 9.f);
    EXPECT_EQ(Random::next(), firstValue);
}

TEST_F(ParticleSystemTest, UpdateSpawnsOncePerRateAndKeepsTheTimerWhileInactive)
{
    load(systemJson(), 3);
    system.setActive(true);
    for (int step = 1; step <= 5; ++step)
    {
        system.update(Step);
        EXPECT_EQ(liveCount(system), std::min(step, 3)) << step;
        EXPECT_EQ(system.spawnTimer, 0.f);
    }
    // The particle spawned in a step is updated in that step.
    EXPECT_EQ(system.particles[2].age, Step + Step + Step);

    nlohmann::json description = systemJson();
    description["spawn_rate"] = 0.5;
    load(description, 3);
    for (int step = 0; step < 40; ++step)
        system.update(Step);
    EXPECT_EQ(liveCount(system), 0);
    EXPECT_GT(system.spawnTimer, 0.5f);
    system.setActive(true);
    system.update(Step);
    EXPECT_EQ(liveCount(system), 1);
    EXPECT_EQ(system.spawnTimer, 0.f);
    for (int step = 0; step < 29; ++step)
        system.update(Step);
    EXPECT_EQ(liveCount(system), 1);
    system.update(Step);
    system.update(Step);
    EXPECT_EQ(liveCount(system), 2);

    // Inactive systems still move and age their particles; reset frees every slot and keeps the timer.
    system.setActive(false);
    const float y = system.particles[0].y;
    system.update(Step);
    EXPECT_GT(system.particles[0].y, y);
    system.particles[0].alphaTween.running = true;
    system.setActive(true);
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
        Particle& p = system.particles[i];
        p.sprite = sprites.getSprite("dot");
        p.rot = 0.f;
        p.scale = 4.f;
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
    const sf::Color half = pixels.getPixel(24, 14);
    EXPECT_NEAR(half.r, 127, 2);
    EXPECT_EQ(pixels.getPixel(24, 20), sf::Color::Black);
    // The shared sprite keeps the last particle's settings.
    const sf::Sprite& dot = *sprites.getSprite("dot");
    EXPECT_EQ(dot.getPosition(), sf::Vector2f(20.f, 10.f));
    EXPECT_EQ(dot.getColor(), sf::Color(255, 255, 255, opacityToAlpha(0.5f)));
}
