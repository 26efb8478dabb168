#pragma once

#include "motion/Tween.hpp"

#include <cstdint>

class ParticleSystem;

// The values of one text-system description; every instance keeps its own copy.
struct TextStyle
{
    std::int32_t fillR = 255, fillG = 255, fillB = 255;
    std::int32_t outlineR = 0, outlineG = 0, outlineB = 0;
    std::int32_t outlineWidth = 0;
    std::uint32_t characterSize = 0;
    float duration = 5.f;
    float delay = 0.f;
    float letterdelay = 0.f;
    float worddelay = 0.f;
    bool fade_in = false;
    bool fade_out = false;
    float fade_duration = 0.5f;
    float x_in = 0.f, y_in = 0.f, x_out = 0.f, y_out = 0.f;
    float rotate_in = 0.f, rotate_out = 0.f;
    float scale_in = 0.f, scale_out = 0.f;
    EasingType ease_in = Easing::Linear;
    EasingType ease_out = Easing::Linear;
    float tween_duration_in = 0.f;
    float tween_duration_out = 0.f;
    ParticleSystem* particles_in = nullptr;
    ParticleSystem* particles_out = nullptr;
    std::int32_t num_particles_in = 0;
    std::int32_t num_particles_out = 0;
    float particles_duration_out = 0.f;
};
