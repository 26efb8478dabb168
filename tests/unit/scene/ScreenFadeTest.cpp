#include "scene/ScreenFade.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
void runSteps(ScreenFade& fade, int steps)
{
    for (int i = 0; i < steps; ++i)
        fade.advance(1.f / 60.f);
}
} // namespace

TEST(ScreenFade, FadeOutThenFadeInHalfWay)
{
    ScreenFade fade;
    fade.fadeOut(2.f);
    EXPECT_EQ(fade.fadeLevel, 0.f);
    EXPECT_EQ(fade.fadeState, ScreenFade::FadingOut);
    runSteps(fade, 60);
    EXPECT_NEAR(fade.fadeLevel, 0.5f, 1e-4f);

    // The fade-in covers the picture at once and uncovers it over its own duration.
    fade.fadeIn(2.f);
    EXPECT_EQ(fade.fadeLevel, 1.f);
    EXPECT_EQ(fade.fadeState, ScreenFade::FadingIn);
    runSteps(fade, 60);
    EXPECT_NEAR(fade.fadeLevel, 0.5f, 1e-4f);
    runSteps(fade, 61);
    EXPECT_EQ(fade.fadeLevel, 0.f);
    EXPECT_EQ(fade.fadeState, ScreenFade::Idle);
}

TEST(ScreenFade, EndsClampedAndIdle)
{
    ScreenFade fade;
    fade.fadeOut(0.5f);
    runSteps(fade, 31);
    EXPECT_EQ(fade.fadeLevel, 1.f);
    EXPECT_EQ(fade.fadeState, ScreenFade::Idle);
    runSteps(fade, 5);
    EXPECT_EQ(fade.fadeLevel, 1.f);
}

TEST(ScreenFade, ZeroNegativeAndNanDurationsEndAtTheNextStep)
{
    for (float duration : {0.f, -2.f, std::nanf("")})
    {
        ScreenFade fade;
        fade.fadeOut(duration);
        runSteps(fade, 1);
        EXPECT_EQ(fade.fadeLevel, 1.f) << duration;
        EXPECT_EQ(fade.fadeState, ScreenFade::Idle) << duration;

        fade.fadeIn(duration);
        runSteps(fade, 1);
        EXPECT_EQ(fade.fadeLevel, 0.f) << duration;
        EXPECT_EQ(fade.fadeState, ScreenFade::Idle) << duration;
    }
}

TEST(ScreenFade, ResetClearsLevelSpeedAndState)
{
    ScreenFade fade;
    fade.fadeIn(3.f);
    runSteps(fade, 10);
    fade.reset();
    EXPECT_EQ(fade.fadeLevel, 0.f);
    EXPECT_EQ(fade.fadeSpeed, 0.f);
    EXPECT_EQ(fade.fadeState, ScreenFade::Idle);
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
