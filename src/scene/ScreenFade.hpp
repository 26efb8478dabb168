#pragma once

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Sprite.hpp>

// The full-window fade overlay: the script starts fades, every step advances them, every frame
// draws the overlay last.
class ScreenFade
{
public:
    enum State
    {
        Idle = 0,
        FadingOut = 1,
        FadingIn = 2
    };

    // Covered at once, uncovers over the duration.
    void fadeIn(float duration);
    // Uncovered at once, covered over the duration.
    void fadeOut(float duration);
    // What a script reload does: level 0, speed 0, idle.
    void reset();
    void advance(float dt);
    // Draws the overlay with alpha fadeLevel; without a fade sprite, a black window-sized rectangle.
    void draw(sf::RenderTarget& target);

    // Where a fade is (a snapshot of a playing demo); the sprite is the shell's, not the fade's.
    struct Saved
    {
        float fadeLevel = 0.f;
        float fadeSpeed = 0.f;
        int fadeState = Idle;
    };
    Saved save() const { return {fadeLevel, fadeSpeed, fadeState}; }
    void restore(const Saved& saved)
    {
        fadeLevel = saved.fadeLevel;
        fadeSpeed = saved.fadeSpeed;
        fadeState = saved.fadeState;
    }

    sf::Sprite* fadeSprite = nullptr;
    float fadeLevel = 0.f;
    float fadeSpeed = 0.f;
    int fadeState = Idle;
};
