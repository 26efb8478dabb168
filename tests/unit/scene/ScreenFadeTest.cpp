#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
void runSteps(ScreenFade& fade, int steps)
{
    for (int i = 0; i < steps; ++i)
        fade.advance(1.f / 60.f);
}
} // namespace

// A fade driven step by step: each row a sequence of moves, each followed by the level and state
// it leaves.
namespace
{
struct Move
{
    enum Kind
    {
        Out,   // fadeOut(amount)
        In,    // fadeIn(amount)
        Steps, // amount steps of 1/60 s
        Reset
    } kind;
    float amount;
    float level;
    int state;
    float tolerance = 0.f;
};

struct FadeCase
{
    const char* what;
    std::vector<Move> moves;
};

const float Nan = std::nanf("");

// The fade-in covers the picture at once and uncovers it over its own duration.
const FadeCase FadeCases[] = {
    {"fade out, then fade in, half way each",
     {{Move::Out, 2.f, 0.f, ScreenFade::FadingOut},
      {Move::Steps, 60, 0.5f, ScreenFade::FadingOut, 1e-4f},
      {Move::In, 2.f, 1.f, ScreenFade::FadingIn},
      {Move::Steps, 60, 0.5f, ScreenFade::FadingIn, 1e-4f},
      {Move::Steps, 61, 0.f, ScreenFade::Idle}}},
    {"ends clamped and idle",
     {{Move::Out, 0.5f, 0.f, ScreenFade::FadingOut},
      {Move::Steps, 31, 1.f, ScreenFade::Idle},
      {Move::Steps, 5, 1.f, ScreenFade::Idle}}},
    {"a zero duration ends at the next step",
     {{Move::Out, 0.f, 0.f, ScreenFade::FadingOut},
      {Move::Steps, 1, 1.f, ScreenFade::Idle},
      {Move::In, 0.f, 1.f, ScreenFade::FadingIn},
      {Move::Steps, 1, 0.f, ScreenFade::Idle}}},
    {"a negative duration ends at the next step",
     {{Move::Out, -2.f, 0.f, ScreenFade::FadingOut},
      {Move::Steps, 1, 1.f, ScreenFade::Idle},
      {Move::In, -2.f, 1.f, ScreenFade::FadingIn},
      {Move::Steps, 1, 0.f, ScreenFade::Idle}}},
    {"a NaN duration ends at the next step",
     {{Move::Out, Nan, 0.f, ScreenFade::FadingOut},
      {Move::Steps, 1, 1.f, ScreenFade::Idle},
      {Move::In, Nan, 1.f, ScreenFade::FadingIn},
      {Move::Steps, 1, 0.f, ScreenFade::Idle}}},
    // Reset clears the level, the speed and the state.
    {"reset in the middle of a fade in",
     {{Move::In, 3.f, 1.f, ScreenFade::FadingIn},
      {Move::Steps, 10, 1.f - 10.f / 180.f, ScreenFade::FadingIn, 1e-4f},
      {Move::Reset, 0, 0.f, ScreenFade::Idle}}},
};
} // namespace

TEST(ScreenFade, LevelAndStateStepByStep)
{
    for (const FadeCase& c : FadeCases)
    {
        ScreenFade fade;
        for (std::size_t i = 0; i < c.moves.size(); ++i)
        {
            const Move& move = c.moves[i];
            switch (move.kind)
            {
            case Move::Out: fade.fadeOut(move.amount); break;
            case Move::In: fade.fadeIn(move.amount); break;
            case Move::Steps: runSteps(fade, static_cast<int>(move.amount)); break;
            case Move::Reset:
                fade.reset();
                EXPECT_EQ(fade.fadeSpeed, 0.f) << c.what;
                break;
            }
            const std::string where = std::string(c.what) + ", after move " + std::to_string(i + 1);
            if (move.tolerance > 0.f)
                EXPECT_NEAR(fade.fadeLevel, move.level, move.tolerance) << where;
            else
                EXPECT_EQ(fade.fadeLevel, move.level) << where;
            EXPECT_EQ(fade.fadeState, move.state) << where;
        }
    }
}

TEST(ScreenFade, DrawCoversWithLevelAndRestoresSpriteAlpha)
{
    sf::RenderTexture target;
    ASSERT_TRUE(target.create(32, 32));
    sf::Image blackImage;
    blackImage.create(1, 1, sf::Color::Black);
    sf::Texture black;
    ASSERT_TRUE(black.loadFromImage(blackImage));
    black.setRepeated(true);
    sf::Sprite sprite(black, sf::IntRect(0, 0, 32, 32));
    sprite.setColor(sf::Color(255, 255, 255, 77));

    ScreenFade fade;
    fade.fadeSprite = &sprite;
    fade.fadeLevel = 0.5f;
    target.clear(sf::Color::White);
    fade.draw(target);
    target.display();

    // Alpha 127 (0.5 x 255 truncated) over white.
    const sf::Color pixel = target.getTexture().copyToImage().getPixel(16, 16);
    EXPECT_NEAR(pixel.r, 128, 1);
    EXPECT_EQ(sprite.getColor().a, 77);
}

TEST(ScreenFade, DrawsABlackRectangleWithoutFadeSprite)
{
    sf::RenderTexture target;
    ASSERT_TRUE(target.create(16, 16));
    ScreenFade fade;
    fade.fadeLevel = 1.f;
    target.clear(sf::Color::White);
    fade.draw(target);
    target.display();
    EXPECT_EQ(target.getTexture().copyToImage().getPixel(15, 15), sf::Color::Black);
}
