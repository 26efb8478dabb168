#include "effects/Particle.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr float Step = 1.f / 60.f;
constexpr float HalfPi = 1.5707963f;

// A live particle as a spawn leaves it.
Particle liveParticle(float ttl, float fadespeed, bool fadein, bool fadeout)
{
    Particle p;
    p.active = true;
    p.ttl = ttl;
    p.fadespeed = fadespeed;
    p.fadeout = fadeout;
    p.alpha = fadein ? 0.f : 1.f;
    if (fadein)
        p.alphaTween.start(0.f, 1.f, fadespeed, Easing::OutSine);
    return p;
}
} // namespace

TEST(Particle, MovesWithTheVelocityFromBeforeTheStepsAcceleration)
{
    Particle p = liveParticle(10.f, 0.f, false, false);
    p.xs = 10.f;
    p.xg = 60.f;
    p.rotspeed = 90.f;
    p.scalespeed = -0.5f;
    p.update(Step);
    p.update(Step);
    EXPECT_FLOAT_EQ(p.x, 10.f * Step + (10.f + 60.f * Step) * Step);
    EXPECT_FLOAT_EQ(p.rot, 3.f);
    EXPECT_FLOAT_EQ(p.scale, -Step);
}

TEST(Particle, FadeInFollowsTheSineCurveThenHoldsUntilDeath)
{
    Particle p = liveParticle(2.01f, 1.f, true, false);
    int steps = 0;
    for (; steps < 59; ++steps)
    {
        p.update(Step);
        EXPECT_NEAR(p.alpha, std::sin(p.age * HalfPi), 1e-5f) << steps;
    }
    for (; p.active; ++steps)
    {
        p.update(Step);
        if (steps >= 60)
        {
            EXPECT_EQ(p.alpha, 1.f) << steps;
        }
    }
    EXPECT_EQ(steps, 121);
}

TEST(Particle, FadeOutStartsFadespeedBeforeTtlAndATooShortLifeDiesAboveZero)
{
    Particle p = liveParticle(2.f, 0.5f, false, true);
    while (p.age + Step < 1.5f - 1e-4f)
        p.update(Step);
    EXPECT_EQ(p.fadingOut, 0);
    EXPECT_EQ(p.alpha, 1.f);
    p.update(Step);
    p.update(Step);
    EXPECT_EQ(p.fadingOut, 1);
    EXPECT_NEAR(p.alpha, 1.f - std::sin(p.alphaTween.elapsed / 0.5f * HalfPi), 1e-5f);

    // The fade-out replaces a running fade-in at once.
    Particle brief = liveParticle(0.25f, 1.f, true, true);
    brief.update(Step);
    EXPECT_NEAR(brief.alpha, 1.f - std::sin(Step * HalfPi), 1e-5f);
    float last = brief.alpha;
    for (; brief.active; brief.update(Step))
        last = brief.alpha;
    EXPECT_GT(last, 0.5f);
    EXPECT_FALSE(brief.alphaTween.running);
}

TEST(Particle, AZeroFadeDurationEndsOnItsFirstStep)
{
    Particle in = liveParticle(1.f, 0.f, true, false);
    in.update(Step);
    EXPECT_EQ(in.alpha, 1.f);
    Particle out = liveParticle(Step + Step + Step, 0.f, false, true);
    out.update(Step);
    out.update(Step);
    EXPECT_EQ(out.alpha, 1.f);
    out.update(Step);
    EXPECT_EQ(out.alpha, 0.f);
    EXPECT_FALSE(out.active);
}
