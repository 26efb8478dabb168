#include "scene/ScreenFade.hpp"

#include "motion/Opacity.hpp"
#include "scene/PassElision.hpp"

#include <SFML/Graphics/RectangleShape.hpp>

#include <cmath>
#include <limits>

namespace
{
// A duration of 0 ends the fade at the next step. A negative or NaN duration would run the
// fade the wrong way for ever, so it ends at the next step too.
float speedFor(float duration)
{
    if (!(duration > 0.f))
        return std::numeric_limits<float>::infinity();
    return 1.f / duration;
}
} // namespace

void ScreenFade::fadeIn(float duration)
{
    fadeSpeed = speedFor(duration);
    fadeLevel = 1.f;
    fadeState = FadingIn;
}

void ScreenFade::fadeOut(float duration)
{
    fadeSpeed = speedFor(duration);
    fadeLevel = 0.f;
    fadeState = FadingOut;
}

void ScreenFade::reset()
{
    fadeLevel = 0.f;
    fadeState = Idle;
    fadeSpeed = 0.f;
}

void ScreenFade::advance(float dt)
{
    if (fadeState == FadingOut)
    {
        fadeLevel += fadeSpeed * dt;
        if (fadeLevel >= 1.f)
        {
            fadeLevel = 1.f;
            fadeState = Idle;
        }
    }
    else if (fadeState == FadingIn)
    {
        fadeLevel -= fadeSpeed * dt;
        if (fadeLevel <= 0.f)
        {
            fadeLevel = 0.f;
            fadeState = Idle;
        }
    }
}

void ScreenFade::draw(sf::RenderTarget& target)
{
    const sf::Uint8 alpha = opacityToAlpha(fadeLevel);
    if (PassElision::skipsOverlay(alpha))
        return;
    if (!fadeSprite)
    {
        sf::RectangleShape cover(sf::Vector2f(target.getSize()));
        cover.setFillColor(sf::Color(0, 0, 0, alpha));
        target.draw(cover);
        return;
    }
    const sf::Uint8 remembered = fadeSprite->getColor().a;
    fadeSprite->setColor(sf::Color(255, 255, 255, alpha));
    target.draw(*fadeSprite);
    fadeSprite->setColor(sf::Color(255, 255, 255, remembered));
}
