#include "effects/TextLetter.hpp"
#include "effects/ParticleSystem.hpp"
#include "effects/Random.hpp"
#include "effects/TextTestSupport.hpp"

#include <cmath>

using texttest::Step;

namespace
{
const sf::Vector2f Place(300.f, 400.f);

class TextLetterTest : public testing::Test
{
protected:
    TextLetterTest() { style.characterSize = 40; }

    TextLetter make(float life, float startDelay = 0.f)
    {
        return TextLetter('W', texttest::bundledFont(), style, Place, 10.f, startDelay, life);
    }

    static void run(TextLetter& letter, int steps)
    {
        for (int i = 0; i < steps; ++i)
            letter.update(Step);
    }

    TextStyle style;
};
} // namespace

TEST_F(TextLetterTest, FadesInAlongTheSineCurveAndStaysAfterItsEnd)
{
    TextLetter letter = make(1.f);
    run(letter, 15);
    const float t = 15 * Step;
    EXPECT_NEAR(letter.alpha, std::sin(t / 0.5f * 1.5707963267948966), 1e-5);
    run(letter, 15);
    EXPECT_EQ(letter.alpha, 1.f);
    EXPECT_EQ(letter.glyph.getFillColor(), sf::Color(255, 255, 255, 255));
    run(letter, 60);
    EXPECT_FALSE(letter.alive);
    EXPECT_EQ(letter.glyph.getFillColor().a, 255);
    EXPECT_EQ(letter.glyph.getPosition(), Place);
}

TEST_F(TextLetterTest, ColoursUseTheLowEightBitsAndTheOutlineAppearsWhenActive)
{
    style.fillR = 300;
    style.fillG = 12;
    style.fillB = -1;
    style.outlineR = 256 + 7;
    style.outlineWidth = 3;
    TextLetter letter = make(1.f, 0.05f);
    EXPECT_EQ(letter.glyph.getOutlineThickness(), 0.f);
    run(letter, 3);
    EXPECT_EQ(letter.glyph.getOutlineThickness(), 0.f) << "still waiting for its start";
    run(letter, 30);
    EXPECT_EQ(letter.glyph.getFillColor(), sf::Color(44, 12, 255, 255));
    EXPECT_EQ(letter.glyph.getOutlineColor(), sf::Color(7, 0, 0, 255));
    EXPECT_EQ(letter.glyph.getOutlineThickness(), 3.f);
}

TEST_F(TextLetterTest, ExitTweensNeedAnExitDuration)
{
    style.x_out = 100.f;
    style.rotate_out = 90.f;
    TextLetter still = make(0.5f);
    run(still, 40);
    EXPECT_FALSE(still.alive);
    EXPECT_FALSE(still.xOut.running);
    EXPECT_EQ(still.x, Place.x);
    EXPECT_EQ(still.rotation, 0.f);

    style.tween_duration_out = 0.1f;
    style.scale_out = 1.f;
    style.y_out = -50.f;
    TextLetter leaving = make(0.5f);
    run(leaving, 40);
    EXPECT_EQ(leaving.x, Place.x + 100.f);
    EXPECT_EQ(leaving.y, Place.y - 50.f);
    EXPECT_EQ(leaving.scale, 2.f);
    EXPECT_EQ(leaving.rotation, 90.f);
    EXPECT_EQ(leaving.glyph.getPosition(), sf::Vector2f(Place.x + 100.f, Place.y - 50.f));
}

TEST_F(TextLetterTest, LaterTweensWinWhenEntranceAndExitOverlap)
{
    // Exit and fade-out are longer than the life, so they run from the first step with the entrance.
    style.tween_duration_in = 2.f;
    style.tween_duration_out = 2.f;
    style.x_in = -100.f;
    style.x_out = 300.f;
    style.y_in = 40.f;
    style.scale_in = 1.f;
    style.scale_out = -0.5f;
    style.rotate_in = 30.f;
    style.rotate_out = -60.f;
    style.fade_out = true;
    style.fade_duration = 2.f;
    TextLetter letter = make(1.f);
    run(letter, 1);
    ASSERT_TRUE(letter.xIn.running);
    ASSERT_TRUE(letter.xOut.running);
    ASSERT_TRUE(letter.fadeInTween.running);
    EXPECT_EQ(letter.x, letter.xOut.value);
    EXPECT_NE(letter.x, letter.xIn.value);
    EXPECT_EQ(letter.y, letter.yOut.value);
    EXPECT_EQ(letter.scale, letter.scaleOut.value);
    EXPECT_EQ(letter.rotation, letter.rotationOut.value);
    EXPECT_EQ(letter.alpha, letter.fadeOutTween.value);
    EXPECT_GT(letter.alpha, 0.9f);
}

namespace
{
// A system with a pool of 20 that can draw, for counting the particles that letters start.
class TextLetterBurstTest : public TextLetterTest
{
protected:
    TextLetterBurstTest()
    {
        sparks.sprites.push_back(&sprite);
        EXPECT_TRUE(sparks.allocatePool(20));
    }

    int live() const
    {
        int count = 0;
        for (std::int32_t i = 0; i < sparks.numParticles; ++i)
            count += sparks.particles[static_cast<std::size_t>(i)].active ? 1 : 0;
        return count;
    }

    sf::Sprite sprite;
    ParticleSystem sparks;
};
} // namespace

TEST_F(TextLetterBurstTest, EntranceBurstOnTheFirstActiveUpdateAtRandomPointsOfTheGlyph)
{
    style.particles_in = &sparks;
    style.num_particles_in = 3;
    TextLetter letter = make(1.f, 0.05f);
    run(letter, 3);
    EXPECT_EQ(live(), 0);

    Random::restart();
    run(letter, 1);
    EXPECT_EQ(live(), 3);
    EXPECT_EQ(letter.num_particles_in, 0);
    run(letter, 5);
    EXPECT_EQ(live(), 3);

    // The point takes r1 then r2 of the shared sequence; each spawnAt then draws its own values.
    Random::restart();
    const float r1 = static_cast<float>(Random::next());
    const float r2 = static_cast<float>(Random::next());
    const sf::FloatRect bounds = letter.glyph.getLocalBounds();
    EXPECT_EQ(sparks.particles[0].x, Place.x + (r1 / 32767.f) * bounds.width);
    EXPECT_EQ(sparks.particles[0].y, Place.y - 10.f + (r2 / 32767.f) * bounds.height);
}

TEST_F(TextLetterBurstTest, ExitBurstAtZeroComesOnTheLastUpdate)
{
    style.particles_out = &sparks;
    style.num_particles_out = 10;
    TextLetter letter = make(0.5f);
    int steps = 0;
    while (letter.alive && steps < 100)
    {
        EXPECT_EQ(live(), 0) << steps;
        letter.update(Step);
        ++steps;
    }
    EXPECT_EQ(live(), 10);
    EXPECT_EQ(letter.num_particles_out, 0);
    EXPECT_GE(steps, 30);

    // Without a system nothing is owed and nothing breaks.
    style.particles_out = nullptr;
    TextLetter quiet = make(0.1f);
    run(quiet, 10);
    EXPECT_EQ(live(), 10);
}
