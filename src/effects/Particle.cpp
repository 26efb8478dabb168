#include "effects/Particle.hpp"

void Particle::update(float dt)
{
    if (!active)
        return;
    age += dt;
    // The fade-out replaces a fade-in still running; alpha jumps to 1 on this step.
    if (fadeout && fadingOut == 0 && age >= ttl - fadespeed)
    {
        fadingOut = 1;
        alphaTween.start(1.f, 0.f, fadespeed, Easing::OutSine);
    }
    if (alphaTween.running)
        alphaTween.elapsed += dt;
    // Position moves with the velocity from before this step's acceleration.
    x += xs * dt;
    y += ys * dt;
    rot += rotspeed * dt;
    if (alphaTween.running)
        alpha = alphaTween.evaluate();
    xs += xg * dt;
    ys += yg * dt;
    scale += scalespeed * dt;
    if (age >= ttl)
    {
        alphaTween.running = false;
        active = false;
    }
}
