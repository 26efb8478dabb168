#pragma once

#include "scene/AnimationCollection.hpp"

#include <SFML/Graphics/Rect.hpp>

#include <cstdint>
#include <string>

// Plays one animation of a collection and says which texture rectangle to show.
class Animator
{
public:
    void play(const std::string& name);
    void update(float dt);
    sf::IntRect frameRect() const;
    void setupFrame();

    // What a scene object does when it loads an animation file into `target`.
    void attach(AnimationCollection* target);

    std::int32_t index = 0;
    float frameDuration = 0.f;
    std::int32_t frameCount = 0;
    float timeLeft = 0.f;
    bool playing = false;
    bool loop = false;
    AnimationCollection* collection = nullptr;
    Animation* animation = nullptr;
    AnimationFrame* frame = nullptr;

private:
    // Moves to the next frame; false when a non-looping animation has ended.
    bool advance();

    // Sum of the current animation's frame durations: a cycle that is not positive cannot pay
    // back time, so update() must not keep wrapping through it.
    double cycleDuration = 0.0;
};
