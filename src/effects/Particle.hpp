#pragma once

#include "motion/Tween.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>

// One slot of a particle pool; free exactly when `active` is false.
struct Particle
{
    float x = 0.f, y = 0.f;
    float xs = 0.f, ys = 0.f;
    float xg = 0.f, yg = 0.f;
    float rot = 0.f;
    float rotspeed = 0.f;
    float scale = 0.f;
    float scalespeed = 0.f;
    sf::Sprite* sprite = nullptr;
    bool active = false;
    bool fadeout = false;
    bool fadein = false;
    float fadespeed = 0.f;
    float ttl = 0.f;
    float age = 0.f;
    std::int32_t fadingOut = 0;
    float alpha = 0.f;
    Tween alphaTween;

    // Advances one live particle by dt (inactive slots do nothing).
    void update(float dt);
};
