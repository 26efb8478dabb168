#include "effects/TextInstance.hpp"
#include "effects/ParticleSystem.hpp"
#include "effects/TextTestSupport.hpp"

#include "CountingAllocator.hpp"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

using texttest::Step;

namespace
{
class TextInstanceTest : public testing::Test
{
protected:
    TextInstanceTest() { style.characterSize = 40; }

    std::unique_ptr<TextInstance> make() { return std::make_unique<TextInstance>(texttest::bundledFont(), style); }

    // Steps until the instance is idle; the number of steps it stayed busy.
    static int stepsUntilIdle(TextInstance& instance)
    {
        int steps = 0;
        while (instance.busy && steps < 100000)
        {
            instance.update(Step);
            ++steps;
        }
        return steps;
    }

    TextStyle style;
};
} // namespace

TEST_F(TextInstanceTest, LettersStartOneAfterAnotherWithGapsForSpaces)
{
    style.letterdelay = 0.1f;
    style.worddelay = 0.5f;
    auto instance = make();
    instance->display("HI THERE", 100.f, 200.f, 0.f, 3.01f);

    ASSERT_EQ(instance->letters.size(), 7u);
    EXPECT_EQ(instance->layoutText.getLetterSpacing(), 2.f);
    EXPECT_EQ(instance->layoutText.getString(), "HI THERE");
    const float originY = 0.5f * instance->layoutText.getLocalBounds().height;
    const std::size_t index[] = {0, 1, 3, 4, 5, 6, 7};
    const float start[] = {0.f, 0.1f, 0.8f, 0.9f, 1.0f, 1.1f, 1.2f};
    for (std::size_t i = 0; i < 7; ++i)
    {
        const TextLetter& letter = instance->letters[i];
        const sf::Vector2f place = instance->layoutText.findCharacterPos(index[i]);
        EXPECT_EQ(letter.character, static_cast<sf::Uint32>("HI THERE"[index[i]])) << i;
        EXPECT_NEAR(letter.delay, start[i], 1e-6f) << i;
        EXPECT_EQ(letter.timer, 3.01f) << i;
        EXPECT_EQ(sf::Vector2f(letter.x, letter.y), place) << i;
        EXPECT_EQ(letter.glyph.getPosition(), place) << i;
        EXPECT_EQ(letter.glyph.getOrigin(), sf::Vector2f(0.f, originY)) << i;
        EXPECT_EQ(letter.glyph.getFillColor(), sf::Color(255, 255, 255, 0)) << i;
        if (i > 0)
        {
            EXPECT_GT(letter.x, instance->letters[i - 1].x) << i;
        }
    }
    // Busy for the duration + 8 letter delays + 1 word delay = 4.31 s, that is 259 steps.
    EXPECT_NEAR(instance->remaining, 4.31f, 1e-5f);
    EXPECT_EQ(stepsUntilIdle(*instance), 259);
}

TEST_F(TextInstanceTest, DurationAndDelayParameters)
{
    style.duration = 2.5f;
    auto instance = make();

    // -1 takes the style's duration; a delay of -1 does not wait.
    instance->display("A", 0.f, 0.f, -1.f, -1.f);
    EXPECT_EQ(instance->remaining, 2.5f);
    EXPECT_EQ(instance->letters[0].timer, 2.5f);
    instance->update(Step);
    EXPECT_EQ(instance->letters[0].timer, 2.5f - Step);
    EXPECT_GT(instance->letters[0].alpha, 0.f);

    // Any other value is used as it is, also a negative one: over after one step.
    auto brief = make();
    brief->display("A", 0.f, 0.f, 0.f, -2.f);
    EXPECT_EQ(brief->remaining, -2.f);
    EXPECT_EQ(stepsUntilIdle(*brief), 1);
    EXPECT_FALSE(brief->letters[0].alive);

    // A positive delay holds the letters back, drawn invisible; the instance is busy meanwhile.
    auto held = make();
    held->display("A", 0.f, 0.f, 0.5f, 1.f);
    for (int i = 0; i < 29; ++i)
        held->update(Step);
    EXPECT_EQ(held->letters[0].timer, 1.f);
    EXPECT_EQ(held->letters[0].glyph.getFillColor().a, 0);
    held->update(Step);
    held->update(Step);
    EXPECT_LT(held->letters[0].timer, 1.f);
}

TEST_F(TextInstanceTest, EmptyTextIsBusyForTheDurationOnly)
{
    style.letterdelay = 0.3f;
    auto instance = make();
    instance->display("", 0.f, 0.f, 0.f, 1.005f);
    EXPECT_TRUE(instance->letters.empty());
    EXPECT_TRUE(instance->busy);
    EXPECT_EQ(stepsUntilIdle(*instance), 61);
}

TEST_F(TextInstanceTest, Utf8TextHasOneLetterPerCharacterAtItsLaidOutPlace)
{
    style.letterdelay = 0.1f;
    auto instance = make();
    const std::string text = "Caf\xC3\xA9 Gr\xC3\xBC\xC3\x9F"
                             "e";
    instance->display(text, 50.f, 60.f, 0.f, 1.f);

    const sf::Uint32 expected[] = {'C', 'a', 'f', 0xE9, 'G', 'r', 0xFC, 0xDF, 'e'};
    const std::size_t index[] = {0, 1, 2, 3, 5, 6, 7, 8, 9};
    ASSERT_EQ(instance->layoutText.getString().getSize(), 10u);
    ASSERT_EQ(instance->letters.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i)
    {
        const TextLetter& letter = instance->letters[i];
        EXPECT_EQ(letter.character, expected[i]) << i;
        EXPECT_EQ(letter.glyph.getString().getSize(), 1u) << i;
        EXPECT_EQ(sf::Vector2f(letter.x, letter.y), instance->layoutText.findCharacterPos(index[i])) << i;
        EXPECT_NEAR(letter.delay, 0.1f * static_cast<float>(index[i]), 1e-6f) << i;
    }
    // Ten characters, not thirteen bytes.
    EXPECT_NEAR(instance->remaining, 2.f, 1e-5f);

    // Broken UTF-8 still lays out and animates without harm.
    auto broken = make();
    broken->display("A\xFF\xC3", 0.f, 0.f, 0.f, 0.1f);
    EXPECT_GE(stepsUntilIdle(*broken), 1);
}


TEST_F(TextInstanceTest, StepsAfterTheDisplayDoNotAllocate)
{
    sf::Sprite sprite;
    ParticleSystem sparks;
    sparks.sprites.push_back(&sprite);
    ASSERT_TRUE(sparks.allocatePool(200));
    style.outlineWidth = 3;
    style.letterdelay = 0.05f;
    style.worddelay = 0.2f;
    style.fade_out = true;
    style.x_in = 40.f;
    style.tween_duration_in = 0.3f;
    style.x_out = -40.f;
    style.tween_duration_out = 0.3f;
    style.particles_in = &sparks;
    style.num_particles_in = 4;
    style.particles_out = &sparks;
    style.num_particles_out = 4;
    style.particles_duration_out = 0.2f;
    auto instance = make();
    instance->display("HI THERE, Gr\xC3\xBC\xC3\x9F"
                      "e",
                      100.f, 100.f, 0.f, 1.f);

    // Letters start, tween in, burst, tween and fade out, and end within these steps.
    countingAllocations = true;
    const int steps = stepsUntilIdle(*instance);
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(steps, 60);
    EXPECT_FALSE(instance->letters.back().alive);
}
